#pragma once

class QMenu;
class TForm1;

namespace kestrune::shell {

// Fills the tray menu's "Run" submenu afresh from the window's tree: one submenu per group
// holding its task nodes in tree order; choosing one runs it as "Execute It" does.
void fillRunMenu(QMenu& menu, TForm1& window);

}  // namespace kestrune::shell
