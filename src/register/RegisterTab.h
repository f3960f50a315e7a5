#pragma once
// One tab of the register window. The window keeps the buttons and the
// connection; a tab loads and saves its own contents and talks to the window
// only through these signals, as the tabs of Qt's tabdialog example do.
#include <QWidget>
#include <string>

// The register window's client area as designed.
inline constexpr int kRegisterDesignWidth = 573;
inline constexpr int kRegisterDesignHeight = 391;

class TRegisterTab : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  // The tab has become active or is loaded again ("Ångra"): fill it from the
  // stored settings, or ask the server for its contents.
  virtual void Load() = 0;
  // "Spara" while this tab is active.
  virtual void Save() = 0;

 signals:
  // Wire bytes for the server, sent on the window's connection.
  void Request(const std::string& bytes);
  // "Spara" and "Ångra" follow this.
  void SaveButtonsEnabled(bool enabled);
  // Load the active tab again, after a change was sent to the server.
  void ReloadRequested();
};
