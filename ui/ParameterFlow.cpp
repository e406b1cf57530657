#include "ui/ParameterFlow.h"

namespace kalvero {

void openParameterSheet(QWidget*, PageSichern*, PageRuecksichern*, Application&, MessageBoxHost&) {}

}  // namespace kalvero
