#pragma once
// The German texts of the restore page, the information page, the log page
// and the parameter sheet.
#include <QString>

namespace kalvero::ui_texts {

// Log page
inline const QString kLogColumnText = QStringLiteral("Protokolltext");
inline const QString kLogColumnDate = QStringLiteral("Datum");
inline const QString kLogDateFormat = QStringLiteral("dd.MM.yy HH:mm:ss");

}  // namespace kalvero::ui_texts
