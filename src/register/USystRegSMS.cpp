#include "register/USystRegSMS.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>
#include <QVBoxLayout>

#include "common/ClientIdentity.h"
#include "common/WireText.h"
#include "protocol/Catalogue.h"
#include "protocol/Envelope.h"
#include "protocol/RegisterLists.h"
#include "widgets/Dialogs.h"

namespace davu {

namespace {

constexpr int kMaxTyped = 10;

int NonDigits(const QString& text) {
  int n = 0;
  for (QChar c : text) n += c.isDigit() && c.unicode() < 0x80 ? 0 : 1;
  return n;
}

// Limits what is typed, not what is set: a value from the server may be
// longer than the limit or hold other characters, and can still be
// shortened. Judges each edit against the text before it.
class TTypingLimit final : public QValidator {
 public:
  TTypingLimit(QLineEdit* edit, bool digitsOnly) : QValidator(edit), digitsOnly_(digitsOnly) {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& t) { before_ = t; });
  }
  State validate(QString& input, int&) const override {
    const bool fits = input.size() <= kMaxTyped || input.size() <= before_.size();
    const bool digits = !digitsOnly_ || NonDigits(input) <= NonDigits(before_);
    return fits && digits ? Acceptable : Invalid;
  }

 private:
  bool digitsOnly_;
  QString before_;
};

QLineEdit* Field(const char* name, bool digitsOnly) {
  auto* e = new QLineEdit;
  e->setObjectName(QLatin1String(name));
  e->setValidator(new TTypingLimit(e, digitsOnly));
  e->setToolTip(QStringLiteral("Skriv det kundnummer som erhållits av Sol Varn"));
  return e;
}

}  // namespace

SmsSettingsTab::SmsSettingsTab(QWidget* parent) : RegisterTab(parent) {
  setObjectName(QStringLiteral("tsSMS"));
  edSMSusername = Field("edSMSusername", false);
  edSMSpassword = Field("edSMSpassword", false);
  edSMSpassword->setEchoMode(QLineEdit::Password);
  // Every character of the password shows as '*'.
  edSMSpassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
  edSMSkundnr = Field("edSMSkundnr", true);

  auto* outer = new QGroupBox(QStringLiteral("SMS-inställningar (behövs om man valt att skicka SMS-kallelser)"));
  outer->setObjectName(QStringLiteral("gbSMS"));
  auto* inner = new QGroupBox(QStringLiteral("Användaruppgifter"));
  inner->setObjectName(QStringLiteral("gbAnvandaruppgifter"));
  auto* grid = new QGridLayout(inner);
  const struct {
    const char* label;
    QLineEdit* field;
  } fields[] = {{"Användarnamn:", edSMSusername}, {"Lösenord:", edSMSpassword},
                {"DAVU-kundnr:", edSMSkundnr}};
  for (int i = 0; i < 3; ++i) {
    auto* label = new QLabel(QString::fromUtf8(fields[i].label));
    label->setBuddy(fields[i].field);
    grid->addWidget(label, 0, i);
    grid->addWidget(fields[i].field, 1, i);
  }
  auto* outerLayout = new QVBoxLayout(outer);
  outerLayout->addWidget(inner);
  outerLayout->addStretch(1);
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(4, 4, 4, 4);
  page->addWidget(outer);
}

// Until the account is here, "Spara" would blank the stored one.
void SmsSettingsTab::Load() { Fetch(davu::proto::GetSmsSettings(ToWire(GetClientName()))); }

void SmsSettingsTab::HandleRetSmsSettings(std::string_view payload) {
  const davu::proto::SmsAccountRecord account = davu::proto::DecodeSmsSettings(payload);
  const std::string* const values[] = {&account.userName, &account.password, &account.customerNo};
  QLineEdit* const fields[] = {edSMSusername, edSMSpassword, edSMSkundnr};
  for (int i = 0; i < 3; ++i) {
    FReceived[i] = FromWire(*values[i]);
    fields[i]->setText(FReceived[i]);
  }
  ContentsArrived();
}

void SmsSettingsTab::Save() {
  const struct {
    QLineEdit* field;
    const char* label;
  } fields[] = {{edSMSusername, "Användarnamn"}, {edSMSpassword, "Lösenord"},
                {edSMSkundnr, "DAVU-kundnr"}};
  // A typed ':' or '¤' would shift the account's fields or cut the message
  // ('~' separates nothing here); the texts the server sent go back unchanged.
  for (int i = 0; i < 3; ++i) {
    const QString text = fields[i].field->text();
    if (text == FReceived[i]) continue;
    const QString bad = FirstUnsendableChar(text, davu::proto::kColonFieldBreakers);
    if (bad.isEmpty()) continue;
    ShowInfoHint(UnsendableCharMessage(QString::fromUtf8(fields[i].label), bad), fields[i].field);
    return;
  }
  Store(davu::proto::PostSmsSettings(ToWire(edSMSusername->text()),
                                            ToWire(edSMSpassword->text()),
                                            ToWire(edSMSkundnr->text())));
}

}  // namespace davu
