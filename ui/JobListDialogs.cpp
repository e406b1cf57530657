#include "ui/JobListDialogs.h"

#include <QFileDialog>

#include "app/Application.h"
#include "ui/DlgDatum.h"
#include "ui/DlgHinweis.h"
#include "ui/DlgInfo.h"
#include "ui/DlgPaar.h"
#include "ui/DlgSichernErweitert.h"
#include "ui/MessageBox.h"
#include "ui/PageSichern.h"

namespace kalvero {

namespace {

MessageBoxHost& dialogBoxes() {
  static QtMessageBoxHost host;
  return host;
}

// The page's pair editor; the object lives as long as the page.
DlgPaar* pairEditorOf(PageSichern* page, bool create) {
  if (!page) return nullptr;
  DlgPaar* editor = page->findChild<DlgPaar*>(QString(), Qt::FindDirectChildrenOnly);
  if (!editor && create) editor = new DlgPaar(*page, dialogBoxes());
  return editor;
}

}  // namespace

void openPairEditor(PageSichern* page) {
  DlgPaar* editor = pairEditorOf(page, true);
  if (!editor) return;
  editor->show();
  editor->raise();
  editor->activateWindow();
  editor->load(true);
}

void notifyPairEditor(PageSichern* page, bool pairSelected) {
  DlgPaar* editor = pairEditorOf(page, false);
  if (editor && editor->isVisible()) editor->load(pairSelected);
}

void openNegativeListEditor(PageSichern* page) {
  DlgPaar* editor = pairEditorOf(page, false);
  if (editor && editor->isVisible()) editor->openNegativeEditor();
}

void openExtendedView(PageSichern* page) {
  if (!page) return;
  DlgSichernErweitert dialog(page->jobList(), dialogBoxes(), page);
  dialog.showThinning(page->options());
  if (dialog.exec() != QDialog::Accepted) return;
  if (dialog.changed()) page->setJobList(dialog.jobs());
  BackupOptions thinning = page->options();
  dialog.takeThinning(thinning);
  page->setThinning(thinning);
}

bool openDateDialog(QWidget* parent, const std::string& settingsPath) {
  DlgDatum dialog(settingsPath, dialogBoxes(), parent);
  return dialog.exec() == QDialog::Accepted;
}

void openInfoDialog(QWidget* parent, const Application& app) {
  DlgInfo dialog(app.settingsPath(), app.tempPath(), Application::versionText(), parent);
  dialog.exec();
}

void showHint(QWidget* parent, HintKind kind) { DlgHinweis::open(parent, kind); }

QString browseForFolder(QWidget* parent, const QString& title, const QString& current) {
  const QString chosen = QFileDialog::getExistingDirectory(parent, title, current);
  return chosen.isEmpty() ? current : chosen;
}

}  // namespace kalvero
