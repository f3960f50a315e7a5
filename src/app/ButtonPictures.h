#pragma once
// The pictures of the main window's buttons, drawn in code at 64 x 64
// pixels. Each icon holds an enabled image and a greyed disabled image.
#include <QIcon>
#include <QImage>

namespace davu::buttonpictures {

QIcon RegisterPicture();    // a card index with a tab and lines of text
QIcon StatisticsPicture();  // a bar chart over an axis
QIcon CallsPicture();       // a bell with a sound wave
QIcon SettingsPicture();    // a cogwheel
QIcon TodayPicture();       // a clock face

// The disabled image made from an enabled one: grey, lighter, same shape.
QImage Greyed(const QImage& enabled);

}  // namespace davu::buttonpictures
