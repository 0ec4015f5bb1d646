#include "ui/controls/cPanel.h"

cPanel::~cPanel() = default;
