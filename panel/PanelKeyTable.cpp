#include "panel/PanelKeyTable.h"

namespace PanelKeyTable {

namespace {

struct Entry
{
    int key;
    Qt::KeyboardModifiers modifiers;
    int command;
};

constexpr Qt::KeyboardModifiers none = Qt::NoModifier;
constexpr Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers shift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers alt = Qt::AltModifier;

const Entry table[] = {
    {Qt::Key_N, ctrl, 57600},        {Qt::Key_O, ctrl, 57601},      {Qt::Key_S, ctrl, SaveCommand},
    {Qt::Key_P, ctrl, 57607},        {Qt::Key_Z, ctrl, 57643},      {Qt::Key_Backspace, alt, 57643},
    {Qt::Key_X, ctrl, 57635},        {Qt::Key_Delete, shift, 57635}, {Qt::Key_C, ctrl, 57634},
    {Qt::Key_Insert, ctrl, 57634},   {Qt::Key_V, ctrl, 57637},      {Qt::Key_Insert, shift, 57637},
    {Qt::Key_F6, none, 57680},       {Qt::Key_F6, shift, 57681},    {Qt::Key_Space, none, 1037},
    {Qt::Key_Left, none, 32771},     {Qt::Key_Right, none, 32772},  {Qt::Key_Up, none, 32773},
    {Qt::Key_Down, none, 32774},     {Qt::Key_C, shift, 32775},     {Qt::Key_T, shift, 32776},
};

} // namespace

int Command(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers relevant =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    for (const Entry &entry : table)
        if (entry.key == key && entry.modifiers == relevant)
            return entry.command;
    return 0;
}

} // namespace PanelKeyTable
