// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Leave for what a page of the "Internet Explorer" slot asks, and its
// notifications, through the decisions both engines share.

class QWebEnginePage;
class QWebEngineProfile;
class QWidget;

namespace webenginepermissions {

// Answers page's requests, asking over window when nothing is remembered.
void attach(QWebEnginePage *page, QWidget *window);
// Puts the profile's notifications on the desktop.
void presentNotifications(QWebEngineProfile *profile);

}  // namespace webenginepermissions
