#include "pages/Page.h"

#include "moc_Page.cpp"
