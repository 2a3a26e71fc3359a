// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every value of config.ini the program reads or writes: its section, key,
// type and default, named once. Each call opens the file afresh, so what
// another window (or another copy of the program) wrote is what counts.
// ini is the file's full path (configPath of the program directory).

#include <QString>

namespace config {

// A switch read by the frame is on when the low 8 bits of the stored number
// are 1 (so 257 is on and 2 is off).
constexpr bool switchedOn(int value)
{
    return (value & 0xFF) == 1;
}

// [General] LastEngine: "IE" keeps the Internet Explorer slot; any other
// text chooses Gecko. Default "IE".
bool lastEngineIsIE(const QString &ini);
void writeLastEngine(const QString &ini, bool ie);

// [Option_Main], the options dialog's page: the Gecko switch (0 turns the
// engine off) and the folder it lives in.
int mozilla(const QString &ini);
void writeMozilla(const QString &ini, int value);
QString mozPath(const QString &ini);
void writeMozPath(const QString &ini, const QString &folder);

// [Option], what the frame reads before every new window: when the switch
// is on, the folder becomes the current directory first.
int frameMozilla(const QString &ini);
QString frameMozPath(const QString &ini);

// [Option_Window]: whether a bookmark, and the address bar, open a new
// window (1) or navigate the active one (0).
int bookmarkWindow(const QString &ini);
void writeBookmarkWindow(const QString &ini, int value);
int addressBarWindow(const QString &ini);
void writeAddressBarWindow(const QString &ini, int value);

// [Bar] Band<n>ID, Band<n>Width, Band<n>Break: the band at position n
// (0 or 1). Defaults: identity n, width 200, a break.
struct Band {
    int id;
    int width;
    bool breaks;
};
Band band(const QString &ini, int position);
void writeBand(const QString &ini, int position, const Band &band);

// [Search], written only when the user chooses, so a first start adds
// nothing: Engine names the engine typed words are searched with (empty:
// none chosen), and the user's own engine is OwnName with OwnTemplate.
QString searchEngine(const QString &ini);
void writeSearchEngine(const QString &ini, const QString &engine);
QString ownSearchName(const QString &ini);
QString ownSearchTemplate(const QString &ini);
void writeOwnSearch(const QString &ini, const QString &name, const QString &searchTemplate);

}  // namespace config
