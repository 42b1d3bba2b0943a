#pragma once

#include <functional>
#include <string>

// How the model and image loaders tell the operator about a failure or a warning. By default a
// modal QMessageBox (owned by the focus window) when a QApplication exists, else a line on stderr.
// Tests and fuzz targets install their own hook so nothing blocks; an empty hook restores the default.
using LoaderMessageHook = std::function<void(const std::string &caption, const std::string &text)>;

void SetLoaderMessageHook(LoaderMessageHook hook);
// ownedByFocus: the box belongs to the window with the keyboard focus; otherwise it has no owner.
void ShowLoaderMessage(const std::string &caption, const std::string &text, bool ownedByFocus = true);
