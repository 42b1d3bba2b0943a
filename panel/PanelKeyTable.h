#pragma once

#include <Qt>

// The program's accelerator table (128) as the control panel applies it: a key of the table is
// turned into its command before any control of the panel sees it.
namespace PanelKeyTable {

constexpr int SaveCommand = 57603;

// The command bound to a key with exactly these modifiers (keypad ignored), or 0.
int Command(int key, Qt::KeyboardModifiers modifiers);

} // namespace PanelKeyTable
