// SPDX-License-Identifier: GPL-3.0-or-later
#include "config.h"

#include "profile.h"

namespace config {

namespace {

const QString kGeneral = QStringLiteral("General");
const QString kOption = QStringLiteral("Option");
const QString kMain = QStringLiteral("Option_Main");
const QString kWindow = QStringLiteral("Option_Window");
const QString kBar = QStringLiteral("Bar");
const QString kSearch = QStringLiteral("Search");

QString bandKey(int position, const char *suffix)
{
    return QStringLiteral("Band%1%2").arg(position).arg(QLatin1String(suffix));
}

}  // namespace

bool lastEngineIsIE(const QString &ini)
{
    return profile::readString(ini, kGeneral, QStringLiteral("LastEngine"), QStringLiteral("IE")) ==
           QLatin1String("IE");
}

void writeLastEngine(const QString &ini, bool ie)
{
    profile::writeString(ini, kGeneral, QStringLiteral("LastEngine"),
                         ie ? QStringLiteral("IE") : QStringLiteral("Gecko"));
}

int mozilla(const QString &ini)
{
    return profile::readInteger(ini, kMain, QStringLiteral("Mozilla"), 0);
}

void writeMozilla(const QString &ini, int value)
{
    profile::writeInteger(ini, kMain, QStringLiteral("Mozilla"), value);
}

QString mozPath(const QString &ini)
{
    return profile::readString(ini, kMain, QStringLiteral("MozPath"), QString());
}

void writeMozPath(const QString &ini, const QString &folder)
{
    profile::writeString(ini, kMain, QStringLiteral("MozPath"), folder);
}

int frameMozilla(const QString &ini)
{
    return profile::readInteger(ini, kOption, QStringLiteral("Mozilla"), 0);
}

QString frameMozPath(const QString &ini)
{
    return profile::readString(ini, kOption, QStringLiteral("MozPath"), QString());
}

int bookmarkWindow(const QString &ini)
{
    return profile::readInteger(ini, kWindow, QStringLiteral("BookMark"), 0);
}

void writeBookmarkWindow(const QString &ini, int value)
{
    profile::writeInteger(ini, kWindow, QStringLiteral("BookMark"), value);
}

int addressBarWindow(const QString &ini)
{
    return profile::readInteger(ini, kWindow, QStringLiteral("AddressBar"), 0);
}

void writeAddressBarWindow(const QString &ini, int value)
{
    profile::writeInteger(ini, kWindow, QStringLiteral("AddressBar"), value);
}

Band band(const QString &ini, int position)
{
    return {profile::readInteger(ini, kBar, bandKey(position, "ID"), position),
            profile::readInteger(ini, kBar, bandKey(position, "Width"), 200),
            profile::readFlag(ini, kBar, bandKey(position, "Break"), true)};
}

void writeBand(const QString &ini, int position, const Band &band)
{
    profile::writeInteger(ini, kBar, bandKey(position, "ID"), band.id);
    profile::writeInteger(ini, kBar, bandKey(position, "Width"), band.width);
    profile::writeFlag(ini, kBar, bandKey(position, "Break"), band.breaks);
}

QString searchEngine(const QString &ini)
{
    return profile::readString(ini, kSearch, QStringLiteral("Engine"), QString());
}

void writeSearchEngine(const QString &ini, const QString &engine)
{
    profile::writeString(ini, kSearch, QStringLiteral("Engine"), engine);
}

QString ownSearchName(const QString &ini)
{
    return profile::readString(ini, kSearch, QStringLiteral("OwnName"), QString());
}

QString ownSearchTemplate(const QString &ini)
{
    return profile::readString(ini, kSearch, QStringLiteral("OwnTemplate"), QString());
}

void writeOwnSearch(const QString &ini, const QString &name, const QString &searchTemplate)
{
    profile::writeString(ini, kSearch, QStringLiteral("OwnName"), name);
    profile::writeString(ini, kSearch, QStringLiteral("OwnTemplate"), searchTemplate);
}

}  // namespace config
