#include "ui/PageRuecksichern.h"

namespace kalvero {

PageRuecksichern::PageRuecksichern(Application& app, MessageBoxHost& box, QWidget* parent)
    : QWidget(parent), app_(app), box_(box) {}
PageRuecksichern::~PageRuecksichern() = default;

}  // namespace kalvero
