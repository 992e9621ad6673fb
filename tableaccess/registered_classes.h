// Makes the table access layer's components known to stored descriptions:
// views, field objects, data sources and batch appends, with the properties
// and events that descriptions may set.
#pragma once

// Registers every class once; later calls do nothing.
void RegisterTableAccessClasses();
