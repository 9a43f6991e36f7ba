// The program's icon for the desktop's icon theme, written from the picture the windows show.
#pragma once

#include <QString>
#include <vector>

namespace norvane::dist {

// The PNG sizes of the hicolor theme the icon is written at, in pixels.
const std::vector<int>& icon_theme_sizes();

// Writes FOLDER/hicolor/NxN/apps/norvane.png for every size and
// FOLDER/hicolor/scalable/apps/norvane.svg, all drawn by the program's own icon painter.
// Needs a Qt GUI application. False, with the reason in error, when a file cannot be written.
bool write_icon_theme(const QString& folder, QString& error);

}  // namespace norvane::dist
