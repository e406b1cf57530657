#include "ui/DirReplacementFlow.h"

#include <QDialog>

#include "app/Application.h"
#include "app/DirReplacement.h"
#include "app/SettingsFile.h"
#include "ui/PageRuecksichern.h"
#include "ui/PageSichern.h"
#include "ui/PageTexts.h"
#include "ui/SheetParameter.h"

namespace kalvero {

void openParameterSheet(QWidget* parent, PageSichern* backupPage, PageRuecksichern* restorePage,
                        Application& app, MessageBoxHost& box) {
  bool confirmed = false;
  {
    SheetParameter sheet(app, box, parent);
    if (sheet.exec() != QDialog::Accepted) return;  // "Abbrechen" rewrites nothing
    confirmed = sheet.replacementConfirmed();
  }
  if (confirmed) applyReplacementAfterOk(backupPage, restorePage, app, box, true);
}

void applyReplacementAfterOk(PageSichern* backupPage, PageRuecksichern* restorePage, Application& app,
                             MessageBoxHost& box, bool confirmed) {
  SettingsFile settings(app.settingsPath());
  const DirReplacementList list = settings.loadDirReplacementList();
  if (list.Sichern == 0 && list.Ruecksichern == 0) return;
  if (!confirmed && box.messageBox(MessageKind::YesNo, ui_texts::kReplaceQuestion) != MB_RESULT_YES) return;
  // A run reads these values while it goes; they are rewritten only between runs.
  if ((backupPage != nullptr && !backupPage->isIdle()) || (restorePage != nullptr && !restorePage->isIdle())) return;

  std::string error;
  if (list.Sichern != 0) {
    if (!ReplaceInBackupSettings(settings, &error)) {
      box.messageBox(MessageKind::Error, error);
      return;
    }
    if (backupPage != nullptr) backupPage->reloadFromSettings();  // also tells an open pair editor
  }
  if (list.Ruecksichern != 0) {
    if (restorePage != nullptr) restorePage->takeInput();
    if (!ReplaceInRestoreSettings(settings, &error)) {
      box.messageBox(MessageKind::Error, error);
      return;
    }
    if (restorePage != nullptr) restorePage->reloadFromSettings();
  }
}

}  // namespace kalvero
