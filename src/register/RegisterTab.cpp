#include "register/RegisterTab.h"

#include <QTimer>

#include "widgets/Dialogs.h"

namespace davu {

const QString RegisterTab::kFetching = QStringLiteral("Hämtar…");
const QString RegisterTab::kNoAnswer =
    QStringLiteral("Servern svarade inte. Tryck på Ångra för att hämta igen.");
const QString RegisterTab::kNotConnected =
    QStringLiteral("Inte ansluten till servern. Tryck på Ångra för att hämta igen.");
const QString RegisterTab::kNotConnectedNothingSaved = QStringLiteral(
    "Inget sparades: programmet är inte anslutet till servern. "
    "Ändringen finns kvar; spara igen när anslutningen är tillbaka.");

RegisterTab::RegisterTab(QWidget* parent) : QWidget(parent) {
  FContentsTimer = new QTimer(this);
  FContentsTimer->setObjectName(QStringLiteral("ContentsTimer"));
  FContentsTimer->setSingleShot(true);
  FContentsTimer->setInterval(kContentsWaitMs);
  connect(FContentsTimer, &QTimer::timeout, this, &RegisterTab::ContentsTimerTimer);
}

void RegisterTab::SetStatus(const QString& text) {
  FStatus = text;
  emit StateChanged();
}

void RegisterTab::WaitForContents() {
  FWaiting = true;
  FMissing = false;
  FContentsTimer->start();
  SetStatus(kFetching);
}

void RegisterTab::Fetch(const std::string& bytes) {
  WaitForContents();
  if (Channel && Channel(bytes)) return;
  // Nothing can come: say so at once rather than after the wait.
  ContentsTimerTimer();
  SetStatus(kNotConnected);
}

void RegisterTab::ContentsArrived() {
  FContentsTimer->stop();
  FWaiting = false;
  FMissing = false;
  FSaveInFlight = false;
  SetStatus(QString());
}

void RegisterTab::ContentsTimerTimer() {
  FContentsTimer->stop();
  if (!FWaiting) return;
  FMissing = true;
  SetStatus(kNoAnswer);
}

void RegisterTab::ConnectionLost() {
  if (FWaiting) ContentsTimerTimer();
  if (!FSaveInFlight) return;
  // The reload that would have shown the saved state cannot come now.
  FSaveInFlight = false;
  FWaiting = false;
  FEdited = true;
  SetStatus(QStringLiteral("Anslutningen bröts innan servern hann svara: ändringen kanske inte sparades."));
}

bool RegisterTab::Store(const std::string& bytes) {
  if (Channel && Channel(bytes)) return true;
  ShowInfoMessage(kNotConnectedNothingSaved);
  return false;
}

void RegisterTab::SetEdited(bool edited) {
  FTracksEdits = true;
  FEdited = edited;
  emit StateChanged();
}

}  // namespace davu
