#pragma once

#include <QIcon>

// The application icon and the toolbar's 16 by 15 button images, drawn here rather than shipped.
namespace AppIcons {

enum class Tool { New, Open, Save, Cut, Copy, Paste, Print, About };

QIcon application();
QIcon tool(Tool tool);

} // namespace AppIcons
