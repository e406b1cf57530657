#pragma once
// "Parameter ...": the parameter sheet, the question after OK and the
// rewrite of the stored directory names on both pages.
class QWidget;

namespace kalvero {

class Application;
class MessageBoxHost;
class PageSichern;
class PageRuecksichern;

void openParameterSheet(QWidget* parent, PageSichern* backupPage, PageRuecksichern* restorePage,
                        Application& app, MessageBoxHost& box);

}  // namespace kalvero
