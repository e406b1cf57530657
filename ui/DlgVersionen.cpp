#include "ui/DlgVersionen.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QTreeWidget>
#include <fmt/format.h>
#include <fmt/printf.h>

#include "ui/VersionenTexts.h"
#include "ui_DlgVersionen.h"

namespace kalvero {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

// A file dialog that also takes a folder: "Auswählen" on a chosen folder, or
// with nothing chosen on the folder it shows; a double click still opens it.
class FileOrFolderDialog : public QFileDialog {
 public:
  FileOrFolderDialog(QWidget* parent, const QString& start) : QFileDialog(parent, q(versionen_text::kAskTitle), start) {
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::AnyFile);  // a name typed in: the file may be gone from the source
    setAcceptMode(QFileDialog::AcceptOpen);
    setLabelText(QFileDialog::Accept, q(versionen_text::kAskAccept));
  }
  QString chosen;

  void accept() override {
    const QStringList files = selectedFiles();
    chosen = files.isEmpty() || files.first().isEmpty() ? directory().absolutePath() : files.first();
    QDialog::accept();
  }
};

}  // namespace

DlgVersionen::DlgVersionen(VersionList list, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::DlgVersionen>()), list_(std::move(list)) {
  ui_->setupUi(this);
  setWindowTitle(q(fmt::sprintf(versionen_text::kTitle, list_.path)));
  ui_->labelFile->setText(q(list_.path));
  ui_->listVersions->setHeaderLabels({q(versionen_text::kColumnState), q(versionen_text::kColumnSize),
                                      q(versionen_text::kColumnTime)});
  fillList();
  // Room for "... wiederhergestellt als:" and a long path below it.
  ui_->labelResult->setMinimumHeight(ui_->labelResult->fontMetrics().lineSpacing() * 3 + 4);
  connect(ui_->btnRestore, &QPushButton::clicked, this, &DlgVersionen::restoreChosen);
  connect(ui_->btnClose, &QPushButton::clicked, this, &DlgVersionen::reject);
  connect(ui_->listVersions, &QTreeWidget::itemActivated, this, [this] { restoreChosen(); });
  ui_->btnRestore->setDefault(true);
  ui_->listVersions->setFocus(Qt::OtherFocusReason);
}

DlgVersionen::~DlgVersionen() = default;

void DlgVersionen::fillList() {
  QTreeWidget* tree = ui_->listVersions;
  // Newest first: the state a user looks for is usually a recent one.
  for (auto v = list_.versions.rbegin(); v != list_.versions.rend(); ++v) {
    std::string state = VersionRangeText(*v);
    if (!v->complete) state = fmt::sprintf(versionen_text::kIncomplete, state);
    auto* item = new QTreeWidgetItem(tree, {q(state), q(fmt::format("{}", v->size)), q(VersionTimeText(v->lastWrite))});
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    item->setData(0, Qt::UserRole, static_cast<int>(std::distance(v, list_.versions.rend()) - 1));
    if (v->folder) item->setToolTip(0, q(versionen_text::kFolder));
  }
  if (tree->topLevelItemCount() > 0) tree->setCurrentItem(tree->topLevelItem(0));
  for (int c = 0; c < tree->columnCount(); ++c) tree->resizeColumnToContents(c);
  tree->setMinimumWidth(tree->header()->length() + 2 * tree->frameWidth() + 24);
}

void DlgVersionen::restoreChosen() {
  const QTreeWidgetItem* item = ui_->listVersions->currentItem();
  if (!item) {
    ui_->labelResult->setText(q(versionen_text::kNoneChosen));
    return;
  }
  const FileVersion& version = list_.versions.at(static_cast<std::size_t>(item->data(0, Qt::UserRole).toInt()));
  std::string where, error;
  if (RestoreVersionBeside(list_, version, &where, &error))
    ui_->labelResult->setText(q(fmt::sprintf(versionen_text::kRestored, VersionRangeText(version), where)));
  else
    ui_->labelResult->setText(q(error));
}

QString DlgVersionen::askPath(QWidget* parent, const QString& start) {
  FileOrFolderDialog dialog(parent, start);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.chosen;
}

}  // namespace kalvero
