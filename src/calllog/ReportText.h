#pragma once
// How report figures read on screen, in files and on paper.
#include <QString>

namespace davu {

struct ReportChoices;

}  // namespace davu

namespace davu::reporttext {

// "4:05" under an hour, "1:02:03" from an hour; "–" for no time (negative).
QString Duration(double seconds);
// "93,8 %"; "–" when there were no calls.
QString Share(int part, int whole);
// "2024-05-01 – 2024-05-31 · Klienter: alla · Resurser: Rum 1, Rum 2 ·
// Alla kallelser": the range and the choices the report was made with.
QString Choices(const ReportChoices& c);
// The proposed file name: "DAVU statistik 2024-05-01–2024-05-31." + suffix.
QString FileName(const ReportChoices& c, const QString& suffix);

}  // namespace davu::reporttext
