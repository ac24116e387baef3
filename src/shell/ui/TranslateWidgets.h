#pragma once

namespace Translation {
// Registers the component kinds whose texts need the widget classes: tab texts
// ("Tabs_i" of a QTabWidget, "Caption" of a tab page) and the column captions of list
// views ("Columns_i.Caption" of a QTableWidget, QTreeWidget or any item view). Call once
// before the first translation; calling again changes nothing.
void InstallWidgetTextSlots();
} // namespace Translation
