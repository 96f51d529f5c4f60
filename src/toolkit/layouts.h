#pragma once

class QHBoxLayout;
class QWidget;

// Small layouts the windows build over and over.
namespace Layouts {

// A row laid over `owner` edge to edge, its items `spacing` points apart.
QHBoxLayout* row(QWidget* owner, int spacing);

} // namespace Layouts
