/* The product's name, version and distributor: shown on the splash, by
   zelvaro-render --version and in every program's file properties. Read by
   the resource compiler as well as by C++, so plain macros and a guard. */
#ifndef ZELVARO_PRODUCT_VERSION_H
#define ZELVARO_PRODUCT_VERSION_H

#define ZELVARO_PRODUCT_NAME "Zelvaro"
#define ZELVARO_DISTRIBUTOR "Quorrel"
#define ZELVARO_COPYRIGHT "Copyright (C) Quorrel"
#define ZELVARO_VERSION_MAJOR 2
#define ZELVARO_VERSION_MINOR 0
/* As the splash has always written it. */
#define ZELVARO_VERSION_TEXT "2.00"

#endif
