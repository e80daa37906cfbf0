/* The plug-in's name, version, maker and copyright: one place for the about
 * text and the version resource. Plain preprocessor definitions, so that the
 * resource compiler can include this file as well as C++. */
#ifndef SLANTWARPER_ABOUT_TEXT_H
#define SLANTWARPER_ABOUT_TEXT_H

#define SW_PLUGIN_NAME "slantWarper"
#define SW_VERSION_TEXT "0.1b"
#define SW_MAKER_NAME "slantWarper developers"
#define SW_WEB_ADDRESS "https://slantwarper.example.org"
#define SW_COPYRIGHT "Copyright 2026 slantWarper developers. All rights reserved."

/* The version resource's CompanyName: the maker, a comma and a space, the web
 * address. */
#define SW_COMPANY_NAME SW_MAKER_NAME ", " SW_WEB_ADDRESS

/* The about text: three lines joined by single carriage returns. */
#define SW_ABOUT_TEXT SW_PLUGIN_NAME " " SW_VERSION_TEXT "\r" SW_WEB_ADDRESS "\r" SW_COPYRIGHT

#endif
