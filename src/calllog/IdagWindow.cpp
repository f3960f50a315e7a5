#include "calllog/IdagWindow.h"

#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "calllog/CallLogGrid.h"
#include "calllog/ReportCharts.h"
#include "calllog/ReportFigures.h"
#include "common/ClientIdentity.h"
#include "common/ClientSocket.h"
#include "common/SettingsStore.h"
#include "common/WireText.h"
#include "common/platform/Platform.h"
#include "protocol/Catalogue.h"
#include "widgets/KeyboardAccess.h"
#include "widgets/ScreenFit.h"
#include "widgets/ShownCellsGrid.h"

namespace davu {

namespace {

const QString kSection = QStringLiteral("Idag");
const QString kIntervalKey = QStringLiteral("UppdateringSekunder");
// A server's error text is shown up to this length.
constexpr int kShownErrorLimit = 200;

QString TimeOfMoment(std::int64_t moment) {
  if (moment == INT64_MIN) return QString();
  const int sod = static_cast<int>(((moment % 86400) + 86400) % 86400);
  return QTime(sod / 3600, sod / 60 % 60, sod % 60).toString(QStringLiteral("HH:mm:ss"));
}

// "4:05" (minutes and seconds), "1:02:05" from an hour on; empty without any.
QString WaitText(double seconds) {
  if (seconds < 0) return QString();
  const int s = static_cast<int>(seconds + 0.5);
  const QString ms = QStringLiteral("%1:%2").arg(s / 60 % 60).arg(s % 60, 2, 10, QLatin1Char('0'));
  if (s < 3600) return ms;
  return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QStringList RowTexts(const davu::calllog::TodayResource& r) {
  return {r.name, QString::number(r.calls), QString::number(r.confirmed), QString::number(r.unconfirmed()),
          TimeOfMoment(r.lastCall), WaitText(r.medianWait())};
}

}  // namespace

int IdagWindow::StoredIntervalSeconds() {
  bool ok = false;
  const int s = ReadUserSetting(kSection, kIntervalKey).trimmed().toInt(&ok);
  if (!ok) return kDefaultSeconds;
  return std::clamp(s, kFewestSeconds, kMostSeconds);
}

IdagWindow::IdagWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmDAVUIdag"));
  setWindowTitle(QStringLiteral("DAVU Idag"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setFont(davu::calllog::WindowFont());
  resize(720, 560);

  lblTotal = new QLabel(this);
  lblTotal->setObjectName(QStringLiteral("lblTotal"));
  QFont big = lblTotal->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.5);
  lblTotal->setFont(big);
  lblTotal->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

  resurserRows = new QStandardItemModel(0, 6, this);
  // Only what shows is told to a screen reader (the row titles are hidden).
  grdResurser = new davu::ShownCellsGrid(this);
  grdResurser->setModel(resurserRows);
  grdResurser->setObjectName(QStringLiteral("grdResurser"));
  grdResurser->setAccessibleName(QStringLiteral("Kallelser per resurs idag"));
  resurserRows->setHorizontalHeaderLabels({QStringLiteral("Resurs"), QStringLiteral("Kallelser"),
                                          QStringLiteral("Bekräftade"), QStringLiteral("Ej bekräftade"),
                                          QStringLiteral("Senaste kallelse"), QStringLiteral("Median väntetid")});
  grdResurser->verticalHeader()->hide();
  grdResurser->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grdResurser->setSelectionBehavior(QAbstractItemView::SelectRows);
  grdResurser->setTabKeyNavigation(false);
  grdResurser->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int c = 1; c < 6; ++c) grdResurser->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);

  chTimmar = new QChartView(this);
  chTimmar->setObjectName(QStringLiteral("chTimmar"));
  chTimmar->setAccessibleName(QStringLiteral("Kallelser per timme idag"));
  chTimmar->setRenderHint(QPainter::Antialiasing);
  chTimmar->setMinimumHeight(200);
  // A picture: the keyboard goes from the table to the buttons.
  chTimmar->setFocusPolicy(Qt::NoFocus);
  chTimmar->viewport()->setFocusPolicy(Qt::NoFocus);

  auto* bottom = new QWidget(this);
  bottom->setObjectName(QStringLiteral("Panel1"));
  lblStatus = new QLabel(bottom);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long reason is cut at the window's edge, never widens it; the whole
  // text is the label's tool tip.
  lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* every = new QLabel(QStringLiteral("&Uppdatera var"), bottom);
  seIntervall = new QSpinBox(bottom);
  seIntervall->setObjectName(QStringLiteral("seIntervall"));
  seIntervall->setRange(kFewestSeconds, kMostSeconds);
  seIntervall->setSuffix(QStringLiteral(" s"));
  seIntervall->setValue(StoredIntervalSeconds());
  every->setBuddy(seIntervall);
  btnPaus = new AccessKeyButton(QStringLiteral("Pausa"), bottom);
  btnPaus->setObjectName(QStringLiteral("btnPaus"));
  btnPaus->setAutoDefault(false);
  Avbryt = new AccessKeyButton(QStringLiteral("Stäng"), bottom);
  Avbryt->setObjectName(QStringLiteral("Avbryt"));
  Avbryt->setAutoDefault(false);
  davu::keys::SetAccessKey(btnPaus, u'p');
  davu::keys::SetAccessKey(Avbryt, u's');
  auto* row = new QHBoxLayout(bottom);
  row->setContentsMargins(4, 2, 4, 2);
  row->addWidget(lblStatus, 1);
  row->addWidget(every);
  row->addWidget(seIntervall);
  row->addWidget(btnPaus);
  row->addWidget(Avbryt);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 2);
  layout->addWidget(lblTotal);
  layout->addWidget(grdResurser, 1);
  layout->addWidget(chTimmar, 1);
  layout->addWidget(bottom);

  RefreshTimer = new QTimer(this);
  RefreshTimer->setObjectName(QStringLiteral("RefreshTimer"));
  RefreshTimer->setInterval(seIntervall->value() * 1000);
  connect(RefreshTimer, &QTimer::timeout, this, &IdagWindow::RefreshTimerTimer);
  connect(btnPaus, &QPushButton::clicked, this, &IdagWindow::btnPausClick);
  connect(Avbryt, &QPushButton::clicked, this, &QDialog::close);
  connect(seIntervall, &QSpinBox::valueChanged, this, &IdagWindow::seIntervallChange);
  davu::keys::PressFocusedButtonOnReturn(this);

  calls_ = davu::calllog::TodayCalls(davu::platform::clock().now().date());
  showFigures();
  showStatus(QStringLiteral("Hämtar dagens kallelser..."));
}

IdagWindow::~IdagWindow() { davu::calllog::Forget(this); }

void IdagWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  // The first size where it fits the screen, else all the room there is.
  if (windowHandle() && screen())
    resize(size().boundedTo(screen()->availableSize().shrunkBy(windowHandle()->frameMargins())));
  CentreOnScreen(this);
  RefreshTimer->start();
  refresh();
}

void IdagWindow::closeEvent(QCloseEvent* event) {
  RefreshTimer->stop();
  // The reply to a query on its way is dropped in its turn.
  davu::calllog::Forget(this);
  QDialog::closeEvent(event);
}

void IdagWindow::RefreshTimerTimer() {
  if (!paused_) refresh();
}

void IdagWindow::refresh() {
  if (sending_) return;
  const QDate today = davu::platform::clock().now().date();
  if (today != calls_.day()) {
    // Midnight has passed: the new day starts empty and is read whole.
    calls_ = davu::calllog::TodayCalls(today);
    showFigures();
  }
  if (inFlight_) return;  // the next tick asks again
  if (!ClientSocket1 || !ClientSocket1->active()) {
    failed(QStringLiteral("ej ansluten till servern."));
    return;
  }
  sending_ = true;
  // Reading the name may wait for the server with the event loop running. A
  // switch of server ends that read with the default: the new server's name
  // is read when it is connected, and nothing is sent meanwhile.
  const int switches = switches_;
  if (clientName_.isEmpty()) {
    const QString name = GetClientName();
    if (switches == switches_) clientName_ = name;
  }
  sending_ = false;
  if (switches != switches_) return;
  if (!ClientSocket1->active()) {
    failed(QStringLiteral("ej ansluten till servern."));
    return;
  }
  inFlight_ = true;
  inFlightDay_ = calls_.day();
  ClientSocket1->sendBytes(davu::proto::OpenSql(ToWire(clientName_), ToWire(calls_.nextQuery())));
  davu::calllog::Expect(ClientSocket1, this);
}

void IdagWindow::ServerSwitched() {
  ++switches_;
  davu::calllog::Forget(this);
  inFlight_ = false;
  clientName_.clear();  // it may be a setting of the old server
  calls_ = davu::calllog::TodayCalls(davu::platform::clock().now().date());
  showFigures();
  showStatus(paused_ ? QStringLiteral("Ny server: dagens kallelser hämtas när du fortsätter (pausad)")
                     : QStringLiteral("Hämtar dagens kallelser..."));
}

void IdagWindow::ConnectionReady() {
  if (started_ && !paused_ && !calls_.filled()) refresh();
}

void IdagWindow::SqlReplyArrived(std::string_view payload) {
  const bool asked = inFlight_;
  inFlight_ = false;
  // A reply for the day before midnight: the new day is read at the next tick.
  if (asked && inFlightDay_ != calls_.day()) return;
  // Until the day has been read, the only query is the one that reads it.
  if (calls_.apply(payload, !calls_.filled())) showFigures();
  lastRefresh_ = davu::platform::clock().now();
  showStatus(QStringLiteral("Senast uppdaterad ") + lastRefresh_.toString(QStringLiteral("HH:mm:ss")) +
             (paused_ ? QStringLiteral(" (pausad)") : QString()));
}

bool IdagWindow::SqlReplyFailed(const QString& why) {
  inFlight_ = false;
  failed(why);
  return true;
}

void IdagWindow::failed(const QString& why) {
  QString text = QStringLiteral("Uppdateringen ") +
                 davu::platform::clock().now().toString(QStringLiteral("HH:mm:ss")) +
                 QStringLiteral(" misslyckades: ") + why.left(kShownErrorLimit);
  if (!paused_) text += QStringLiteral(" Nytt försök om %1 s.").arg(seIntervall->value());
  showStatus(text);
}

void IdagWindow::showStatus(const QString& text) {
  lblStatus->setText(text);
  lblStatus->setToolTip(text);
}

void IdagWindow::btnPausClick() {
  paused_ = !paused_;
  btnPaus->setText(paused_ ? QStringLiteral("Fortsätt") : QStringLiteral("Pausa"));
  davu::keys::SetAccessKey(btnPaus, paused_ ? u'f' : u'p');
  if (paused_) {
    RefreshTimer->stop();
    const QString paused = QStringLiteral(" (pausad)");
    if (!lblStatus->text().endsWith(paused)) showStatus(lblStatus->text() + paused);
  } else {
    RefreshTimer->start();
    refresh();
  }
}

void IdagWindow::seIntervallChange(int seconds) {
  WriteUserSetting(kSection, kIntervalKey, QString::number(seconds));
  RefreshTimer->setInterval(seconds * 1000);
}

void IdagWindow::showFigures() {
  const davu::calllog::TodayResource total = calls_.total();
  lblTotal->setText(QStringLiteral("Idag %1: %2 kallelser, %3 bekräftade, %4 ej bekräftade")
                        .arg(calls_.day().toString(QStringLiteral("yyyy-MM-dd")))
                        .arg(total.calls)
                        .arg(total.confirmed)
                        .arg(total.unconfirmed()));
  const std::vector<const davu::calllog::TodayResource*> resources = calls_.resources();
  resurserRows->setRowCount(static_cast<int>(resources.size()) + 1);
  auto fill = [this](int row, const QStringList& texts, bool bold) {
    for (int c = 0; c < texts.size(); ++c) {
      auto* item = new QStandardItem(texts[c]);
      item->setEditable(false);
      if (c > 0) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      if (bold) {
        QFont f = item->font();
        f.setBold(true);
        item->setFont(f);
      }
      resurserRows->setItem(row, c, item);
    }
  };
  fill(0, RowTexts(total), true);
  for (std::size_t i = 0; i < resources.size(); ++i) fill(static_cast<int>(i) + 1, RowTexts(*resources[i]), false);

  ReportFigures figures;
  figures.hours = calls_.hours();
  QChart* chart = davu::reportcharts::CallsPerHour(figures, palette());
  davu::reportcharts::SetFont(chart, font());
  QChart* old = chTimmar->chart();
  chTimmar->setChart(chart);
  delete old;
}

}  // namespace davu
