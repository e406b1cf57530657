#pragma once
// The dialogs around the backup page's job list, the date filter, the
// information dialog and the hint window. PageSichern's buttons and popup
// menu call these; each one owns the lifetime of its window.
#include <QString>
#include <string>

class QWidget;

namespace kalvero {

class Application;
class PageSichern;
enum class HintKind;

void openPairEditor(PageSichern* page);
// The page's "load" message to an open pair editor, sent after every change of
// its list: true reloads the page's selected pair, false means no pair is
// selected. A closed editor ignores it; mere selection changes never send it.
void notifyPairEditor(PageSichern* page, bool pairSelected);
void openNegativeListEditor(PageSichern* page);
void openExtendedView(PageSichern* page);
// Modal "Datumswerte eingeben"; true when the user confirmed with OK and the values were stored.
bool openDateDialog(QWidget* parent, const std::string& settingsPath);
void openInfoDialog(QWidget* parent, const Application& app);
// One hint window at a time; a second call replaces it.
void showHint(QWidget* parent, HintKind kind);
// Qt's folder dialog; returns current when the user cancels.
QString browseForFolder(QWidget* parent, const QString& title, const QString& current);

}  // namespace kalvero
