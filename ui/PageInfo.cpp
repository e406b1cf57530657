#include "ui/PageInfo.h"

namespace kalvero {

PageInfo::PageInfo(Application& app, MessageBoxHost& box, QWidget* parent) : QWidget(parent), app_(app), box_(box) {}
PageInfo::~PageInfo() = default;

}  // namespace kalvero
