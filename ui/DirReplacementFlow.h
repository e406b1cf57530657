#pragma once
// "Parameter ...": the parameter sheet, the question after OK and the
// rewrite of the stored directory names on both pages.
class QWidget;

namespace kalvero {

class Application;
class MessageBoxHost;
class PageSichern;
class PageRuecksichern;

// Shows the sheet modally; after OK continues with applyReplacementAfterOk.
void openParameterSheet(QWidget* parent, PageSichern* backupPage, PageRuecksichern* restorePage,
                        Application& app, MessageBoxHost& box);

// What follows OK of the sheet: reads the two switches, asks (unless the
// sheet has asked already), rewrites the stored values of the chosen sides
// and reloads both pages from the file. Either page may be null. Nothing is
// rewritten while a run is active.
void applyReplacementAfterOk(PageSichern* backupPage, PageRuecksichern* restorePage, Application& app,
                             MessageBoxHost& box, bool confirmed = false);

}  // namespace kalvero
