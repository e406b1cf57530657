#include "ui/DlgHinweis.h"

#include "ui/DialogTexts.h"
#include "ui_DlgHinweis.h"

namespace kalvero {

DlgHinweis::DlgHinweis(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::DlgHinweis>()) {
  ui_->setupUi(this);
  setAttribute(Qt::WA_DeleteOnClose);  // Enter, Escape and "Schließen" destroy the window
  setModal(false);
  connect(ui_->btnClose, &QPushButton::clicked, this, &DlgHinweis::reject);
}

DlgHinweis::~DlgHinweis() = default;

void DlgHinweis::showHint(HintKind kind) {
  const bool extensions = kind == HintKind::Extensions;
  setWindowTitle(QString::fromUtf8(extensions ? dlgtext::kHintExtensionsTitle : dlgtext::kHintPatternsTitle));
  // The texts end their lines with CR LF; the text field wants plain line feeds.
  QString text = QString::fromUtf8(extensions ? dlgtext::kHintExtensions : dlgtext::kHintPatterns);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  ui_->textHint->setPlainText(text);
  ui_->textHint->setAccessibleName(windowTitle());
}

DlgHinweis* DlgHinweis::open(QWidget* owner, HintKind kind) {
  DlgHinweis* window = nullptr;
  if (owner) {
    // A closed window may still wait for its deletion; only a shown one is reused.
    for (DlgHinweis* w : owner->findChildren<DlgHinweis*>(QString(), Qt::FindDirectChildrenOnly))
      if (!w->isHidden()) window = w;
  }
  if (!window) window = new DlgHinweis(owner);
  window->showHint(kind);
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

}  // namespace kalvero
