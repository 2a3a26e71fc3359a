// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* The pipe between the frame and its WebKitGTK host (vexel-webkit).

   One message a line, the view's number first (0 for the host itself),
   then the verb and its fields; protocolcodec.h writes and reads the lines
   on both sides and escapes every field. Texts are UTF-8. The frame numbers
   the views; a message for a view the other side no longer knows is
   dropped, and so is a line that does not decode (it is logged).

   frame -> host                      host -> frame
   <v> create [private 0|1]           0 ready <version>       (once, at start)
         (1: its data in memory only, <v> plug <xid>          (answers create)
          gone with the last private
          view; missing: 0)
   <v> load <uri>
   <v> back | forward | stop | reload <v> error <text>        (create failed)
   <v> reloadfull (past the cache)
   <v> find <f|b> <text>  ("" ends)   <v> uri <uri>
   <v> zoom <factor>                  <v> title <text>
   <v> tryclose                       <v> progress <0..100>
                                      <v> loaded <ok 0|1>     (a load ended; 0: it failed)
   <v> release                        <v> status <link uri or "">
   <v> terminate  (ends its web       <v> responsive <0|1>    (the page's
                   process)                                     script answers)
   <v> allowcert <host> <PEM>  (the user accepts a refused certificate for
                   the host until the host ends)
   <v> restore <history, base64>      <v> found <active> <count>  (after a find
         (as "session" gave it)             with a text; count 0: none found;
   <v> charset <default charset>            active from 1, 0 when unknown)
         (for pages that declare      <v> session <history, base64, "" none>
          none)                             (after each navigation)
   <v> exitfullscreen                 <v> fullscreen <1|0>    (the page enters or
                                            leaves full screen)
   0 prewarm  (a web process started
         before the first view)
                                      <v> composing <0|1>     (the page has an
                                            input method's composition)
                                      <v> history <back 0|1> <forward 0|1>
                                      <v> newwindow <uri>
                                      <v> popupblocked        (window.open without a click or key)
                                      <v> press               (button pressed in the page)
                                      <v> leave <next|prev>   (Tab ran off the page)
                                      <v> close               (window.close(), or tryclose agreed)
                                      <v> crashed <reason>    (its web process ended)
                                      <v> certificate <problem,...>  (a page refused)
                                      <v> failed <kind> <uri> <engine's message> <problem,...> <PEM>
                                          (a load failed, the frame shows why; kind:
                                          name|refused|reset|timeout|offline|file|tls|blocked|other;
                                          the last two only for tls)
                                      <v> findbar             (from the page's context menu)
                                      <v> zoomstep <1|-1|0>   (from the page's context menu)
                                      <v> otherengine         (from the page's context menu)
   <v> printpdf <path>  (the page as  <v> print               (window.print(), or the
         laid out for print, a PDF          page's context menu: the frame prints)
         file)                        <v> printed <path> <ok 0|1>  (printpdf ended)
                                      <v> sitesettings        (from the page's context menu)
                                      <v> notification <page's uri> <title> <body>

   Questions to the user, each numbered <q> by the host; the page (or the
   download) waits for the answer, nothing else does:
   <v> dialog <q> <alert|confirm|prompt|leave> <message> <default text>
         answered by  <v> answer <q> <ok 0|1> <prompt's text>
   <v> auth <q> <site|proxy> <host> <realm>
         answered by  <v> credentials <q> <ok 0|1> <user> <password>
   <v> permission <q> <geolocation|notifications|camera|microphone|
         camera-microphone|screen|clipboard-read|pointer-lock> <page's uri>
         answered by  <v> permit <q> <allow 0|1>
   <v> download <q> <suggested file name> <id> <source uri>
         answered by  <v> save <q> <path>   ("" cancels: nothing is saved)
   and how a download goes on, each with the host's <id> of it (on view 0
   once its view has gone):
   <v> downloading <name> <received bytes> <total bytes, 0 unknown> <id>
   <v> downloaded <name> <id>
   <v> downloadfailed <name> <network|destination|cancelled|other> <id>
   The frame asks for a download, and stops one:
   <v> fetch <uri>            (downloads uri as a link's target would be)
   0 canceldownload <id>      (ends as "downloadfailed ... cancelled")

   The page's source, saved page and inspector:
   <v> source <path>          answered by  <v> sourceready <path> <ok 0|1>
         (the page's bytes as they              <encoding the page is read in> <uri>
          came, written to path)
   <v> savepageas <path>      answered by  <v> pagesaved <path> <ok 0|1>
         (MHTML; "" saves nothing)
   <v> inspect                             <v> inspector <1|0>  (its window opened, closed)
   and from the page's context menu:       <v> viewsource
                                           <v> savepage <title>  (the frame asks where,
                                                 then sends savepageas)

   What sites keep (the normal context only), each request numbered <n> by
   the frame; <kinds> is a list of cookies,storage,cache:
   0 sitedata <n>             answered by  0 site <n> <site> <types,...> <cookies> <bytes>
                                                 (one a site), then 0 sitedataend <n> <ok 0|1>
   0 cleardata <n> <kinds> <seconds, 0 all>  answered by  0 datacleared <n> <ok 0|1> <message>
   0 removedata <n> <kinds> <site>  (the site's own data and the cookies it
         receives)                         answered by  0 datacleared <n> <ok 0|1> <message>

   Content blocking (the filters run in the web processes):
   0 blocking <cache path> <exempt hosts, separated by spaces>
         (at start and on every change; "" path: nothing is blocked)
                                           <v> blocked <count>  (requests refused on
                                                 the page shown, 0 at a new page)
   and from the page's context menu:       <v> exempt <host> <0|1>  (このサイトでは無効)
                                           <v> filterlists      (フィルター リスト...)
   A page refused by the filters fails as "failed blocked <uri> ...".

   A window linked to one of the other engine (scrollsync.h):
   <v> scrollwatch <0|1>                   <v> scrolled <anchor> <within> <fraction>
         (1: report each scroll)                 (the page scrolled, not by scrollto)
   <v> scrollto <anchor> <within> <fraction>
   and from the page's context menu:       <v> sidebyside

   Engine rules per site (a leading "." on a host takes in its subdomains):
   0 rules <"host ie|gecko host ...">      <v> rulenavigation <uri>  (a link or form
         (at start and on every change)          of the page goes to a site of the other
                                                 engine; held until answered by
                                                 <v> ruleanswer <1 the frame opens it|0 go on>)
   and from the page's context menu:       <v> siteengine <ie|gecko|"" (remove the rule)>

   Keyboard focus travels as XEmbed messages on the plug window; keys the
   plug receives directly are sent back to the frame's window, which hands
   them to the plug again only while the page has the focus. */

#define VEXEL_WEBKIT_HOST "vexel-webkit"

/* Raised whenever a line changes its meaning; a frame and a host of
   different versions do not talk. */
#define VEXEL_PROTO_VERSION "7"

/* frame -> host */
#define VEXEL_VERB_CREATE "create"
#define VEXEL_VERB_LOAD "load"
#define VEXEL_VERB_BACK "back"
#define VEXEL_VERB_FORWARD "forward"
#define VEXEL_VERB_STOP "stop"
#define VEXEL_VERB_RELOAD "reload"
#define VEXEL_VERB_RELOADFULL "reloadfull"
#define VEXEL_VERB_FIND "find"
#define VEXEL_VERB_ZOOM "zoom"
#define VEXEL_VERB_TRYCLOSE "tryclose"
#define VEXEL_VERB_RELEASE "release"
#define VEXEL_VERB_TERMINATE "terminate"
#define VEXEL_VERB_ANSWER "answer"
#define VEXEL_VERB_CREDENTIALS "credentials"
#define VEXEL_VERB_SAVE "save"
#define VEXEL_VERB_ALLOWCERT "allowcert"
#define VEXEL_VERB_RESTORE "restore"
#define VEXEL_VERB_CHARSET "charset"
#define VEXEL_VERB_SOURCE "source"
#define VEXEL_VERB_SAVEPAGEAS "savepageas"
#define VEXEL_VERB_INSPECT "inspect"
#define VEXEL_VERB_PRINTPDF "printpdf"
#define VEXEL_VERB_PERMIT "permit"
#define VEXEL_VERB_FETCH "fetch"
#define VEXEL_VERB_CANCELDOWNLOAD "canceldownload"
#define VEXEL_VERB_EXITFULLSCREEN "exitfullscreen"
#define VEXEL_VERB_BLOCKING "blocking"
#define VEXEL_VERB_SITEDATA "sitedata"
#define VEXEL_VERB_CLEARDATA "cleardata"
#define VEXEL_VERB_REMOVEDATA "removedata"
#define VEXEL_VERB_PREWARM "prewarm"
#define VEXEL_VERB_SCROLLWATCH "scrollwatch"
#define VEXEL_VERB_SCROLLTO "scrollto"
#define VEXEL_VERB_RULES "rules"
#define VEXEL_VERB_RULEANSWER "ruleanswer"

/* host -> frame */
#define VEXEL_VERB_READY "ready"
#define VEXEL_VERB_PLUG "plug"
#define VEXEL_VERB_ERROR "error"
#define VEXEL_VERB_URI "uri"
#define VEXEL_VERB_TITLE "title"
#define VEXEL_VERB_PROGRESS "progress"
#define VEXEL_VERB_LOADED "loaded"
#define VEXEL_VERB_STATUS "status"
#define VEXEL_VERB_HISTORY "history"
#define VEXEL_VERB_NEWWINDOW "newwindow"
#define VEXEL_VERB_POPUPBLOCKED "popupblocked"
#define VEXEL_VERB_PRESS "press"
#define VEXEL_VERB_LEAVE "leave"
#define VEXEL_VERB_CLOSE "close"
#define VEXEL_VERB_CRASHED "crashed"
#define VEXEL_VERB_RESPONSIVE "responsive"
#define VEXEL_VERB_CERTIFICATE "certificate"
#define VEXEL_VERB_FAILED "failed"
#define VEXEL_VERB_FINDBAR "findbar"
#define VEXEL_VERB_ZOOMSTEP "zoomstep"
#define VEXEL_VERB_OTHERENGINE "otherengine"
#define VEXEL_VERB_SITESETTINGS "sitesettings"
#define VEXEL_VERB_PERMISSION "permission"
#define VEXEL_VERB_NOTIFICATION "notification"
#define VEXEL_VERB_DIALOG "dialog"
#define VEXEL_VERB_AUTH "auth"
#define VEXEL_VERB_DOWNLOAD "download"
#define VEXEL_VERB_DOWNLOADING "downloading"
#define VEXEL_VERB_DOWNLOADED "downloaded"
#define VEXEL_VERB_DOWNLOADFAILED "downloadfailed"
#define VEXEL_VERB_FOUND "found"
#define VEXEL_VERB_SESSION "session"
#define VEXEL_VERB_COMPOSING "composing"
#define VEXEL_VERB_SOURCEREADY "sourceready"
#define VEXEL_VERB_PAGESAVED "pagesaved"
#define VEXEL_VERB_INSPECTOR "inspector"
#define VEXEL_VERB_VIEWSOURCE "viewsource"
#define VEXEL_VERB_SAVEPAGE "savepage"
#define VEXEL_VERB_PRINT "print"
#define VEXEL_VERB_PRINTED "printed"
#define VEXEL_VERB_FULLSCREEN "fullscreen"
#define VEXEL_VERB_BLOCKED "blocked"
#define VEXEL_VERB_EXEMPT "exempt"
#define VEXEL_VERB_FILTERLISTS "filterlists"
#define VEXEL_VERB_SITE "site"
#define VEXEL_VERB_SITEDATAEND "sitedataend"
#define VEXEL_VERB_DATACLEARED "datacleared"
#define VEXEL_VERB_SCROLLED "scrolled"
#define VEXEL_VERB_SIDEBYSIDE "sidebyside"
#define VEXEL_VERB_RULENAVIGATION "rulenavigation"
#define VEXEL_VERB_SITEENGINE "siteengine"

/* Field values: the words the lines above carry, said once for both sides. */
#define VEXEL_NO "0"
#define VEXEL_YES "1"
#define VEXEL_LIST_SEPARATOR ","
#define VEXEL_SUBDOMAINS_MARK "." /* before a rule's host */

/* find */
#define VEXEL_FIND_FORWARD "f"
#define VEXEL_FIND_BACKWARD "b"
/* leave */
#define VEXEL_LEAVE_NEXT "next"
#define VEXEL_LEAVE_PREV "prev"
/* crashed */
#define VEXEL_CRASH_MEMORY "memory"
#define VEXEL_CRASH_REQUESTED "requested"
#define VEXEL_CRASH_CRASHED "crashed"
/* dialog */
#define VEXEL_DIALOG_ALERT "alert"
#define VEXEL_DIALOG_CONFIRM "confirm"
#define VEXEL_DIALOG_PROMPT "prompt"
#define VEXEL_DIALOG_LEAVE "leave"
/* auth */
#define VEXEL_AUTH_SITE "site"
#define VEXEL_AUTH_PROXY "proxy"
/* permission: the words the frame keeps decisions under */
#define VEXEL_PERMISSION_GEOLOCATION "geolocation"
#define VEXEL_PERMISSION_NOTIFICATIONS "notifications"
#define VEXEL_PERMISSION_CAMERA "camera"
#define VEXEL_PERMISSION_MICROPHONE "microphone"
#define VEXEL_PERMISSION_CAMERA_MICROPHONE "camera-microphone"
#define VEXEL_PERMISSION_SCREEN "screen"
#define VEXEL_PERMISSION_CLIPBOARD_READ "clipboard-read"
#define VEXEL_PERMISSION_POINTER_LOCK "pointer-lock"
/* failed: the kind */
#define VEXEL_FAILED_NAME "name"
#define VEXEL_FAILED_REFUSED "refused"
#define VEXEL_FAILED_RESET "reset"
#define VEXEL_FAILED_TIMEOUT "timeout"
#define VEXEL_FAILED_OFFLINE "offline"
#define VEXEL_FAILED_FILE "file"
#define VEXEL_FAILED_TLS "tls"
#define VEXEL_FAILED_BLOCKED "blocked"
#define VEXEL_FAILED_OTHER "other"
/* certificate and failed tls: the problems */
#define VEXEL_CERT_UNKNOWN_CA "unknown-ca"
#define VEXEL_CERT_BAD_IDENTITY "bad-identity"
#define VEXEL_CERT_NOT_ACTIVATED "not-activated"
#define VEXEL_CERT_EXPIRED "expired"
#define VEXEL_CERT_REVOKED "revoked"
#define VEXEL_CERT_INSECURE "insecure"
#define VEXEL_CERT_OTHER "other"
/* downloadfailed */
#define VEXEL_DOWNLOAD_NETWORK "network"
#define VEXEL_DOWNLOAD_DESTINATION "destination"
#define VEXEL_DOWNLOAD_CANCELLED "cancelled"
#define VEXEL_DOWNLOAD_OTHER "other"
/* cleardata, removedata: the kinds */
#define VEXEL_DATA_COOKIES "cookies"
#define VEXEL_DATA_STORAGE "storage"
#define VEXEL_DATA_CACHE "cache"
/* site: the types a site keeps, besides cookies and cache */
#define VEXEL_DATA_LOCAL_STORAGE "localstorage"
#define VEXEL_DATA_SESSION_STORAGE "sessionstorage"
#define VEXEL_DATA_INDEXEDDB "indexeddb"
#define VEXEL_DATA_SERVICE_WORKER "serviceworker"
#define VEXEL_DATA_CACHE_STORAGE "cachestorage"
#define VEXEL_DATA_APPCACHE "appcache"
#define VEXEL_DATA_WEBSQL "websql"
/* rules, siteengine */
#define VEXEL_ENGINE_IE "ie"
#define VEXEL_ENGINE_GECKO "gecko"

/* Every verb, and every field value, for what goes through them all (the
   codec's test). */
#define VEXEL_ALL_VERBS \
    VEXEL_VERB_CREATE, \
    VEXEL_VERB_LOAD, \
    VEXEL_VERB_BACK, \
    VEXEL_VERB_FORWARD, \
    VEXEL_VERB_STOP, \
    VEXEL_VERB_RELOAD, \
    VEXEL_VERB_RELOADFULL, \
    VEXEL_VERB_FIND, \
    VEXEL_VERB_ZOOM, \
    VEXEL_VERB_TRYCLOSE, \
    VEXEL_VERB_RELEASE, \
    VEXEL_VERB_TERMINATE, \
    VEXEL_VERB_ANSWER, \
    VEXEL_VERB_CREDENTIALS, \
    VEXEL_VERB_SAVE, \
    VEXEL_VERB_ALLOWCERT, \
    VEXEL_VERB_RESTORE, \
    VEXEL_VERB_CHARSET, \
    VEXEL_VERB_SOURCE, \
    VEXEL_VERB_SAVEPAGEAS, \
    VEXEL_VERB_INSPECT, \
    VEXEL_VERB_PRINTPDF, \
    VEXEL_VERB_PERMIT, \
    VEXEL_VERB_FETCH, \
    VEXEL_VERB_CANCELDOWNLOAD, \
    VEXEL_VERB_EXITFULLSCREEN, \
    VEXEL_VERB_BLOCKING, \
    VEXEL_VERB_SITEDATA, \
    VEXEL_VERB_CLEARDATA, \
    VEXEL_VERB_REMOVEDATA, \
    VEXEL_VERB_PREWARM, \
    VEXEL_VERB_SCROLLWATCH, \
    VEXEL_VERB_SCROLLTO, \
    VEXEL_VERB_RULES, \
    VEXEL_VERB_RULEANSWER, \
    VEXEL_VERB_READY, \
    VEXEL_VERB_PLUG, \
    VEXEL_VERB_ERROR, \
    VEXEL_VERB_URI, \
    VEXEL_VERB_TITLE, \
    VEXEL_VERB_PROGRESS, \
    VEXEL_VERB_LOADED, \
    VEXEL_VERB_STATUS, \
    VEXEL_VERB_HISTORY, \
    VEXEL_VERB_NEWWINDOW, \
    VEXEL_VERB_POPUPBLOCKED, \
    VEXEL_VERB_PRESS, \
    VEXEL_VERB_LEAVE, \
    VEXEL_VERB_CLOSE, \
    VEXEL_VERB_CRASHED, \
    VEXEL_VERB_RESPONSIVE, \
    VEXEL_VERB_CERTIFICATE, \
    VEXEL_VERB_FAILED, \
    VEXEL_VERB_FINDBAR, \
    VEXEL_VERB_ZOOMSTEP, \
    VEXEL_VERB_OTHERENGINE, \
    VEXEL_VERB_SITESETTINGS, \
    VEXEL_VERB_PERMISSION, \
    VEXEL_VERB_NOTIFICATION, \
    VEXEL_VERB_DIALOG, \
    VEXEL_VERB_AUTH, \
    VEXEL_VERB_DOWNLOAD, \
    VEXEL_VERB_DOWNLOADING, \
    VEXEL_VERB_DOWNLOADED, \
    VEXEL_VERB_DOWNLOADFAILED, \
    VEXEL_VERB_FOUND, \
    VEXEL_VERB_SESSION, \
    VEXEL_VERB_COMPOSING, \
    VEXEL_VERB_SOURCEREADY, \
    VEXEL_VERB_PAGESAVED, \
    VEXEL_VERB_INSPECTOR, \
    VEXEL_VERB_VIEWSOURCE, \
    VEXEL_VERB_SAVEPAGE, \
    VEXEL_VERB_PRINT, \
    VEXEL_VERB_PRINTED, \
    VEXEL_VERB_FULLSCREEN, \
    VEXEL_VERB_BLOCKED, \
    VEXEL_VERB_EXEMPT, \
    VEXEL_VERB_FILTERLISTS, \
    VEXEL_VERB_SITE, \
    VEXEL_VERB_SITEDATAEND, \
    VEXEL_VERB_DATACLEARED, \
    VEXEL_VERB_SCROLLED, \
    VEXEL_VERB_SIDEBYSIDE, \
    VEXEL_VERB_RULENAVIGATION, \
    VEXEL_VERB_SITEENGINE
#define VEXEL_ALL_FIELD_VALUES \
    VEXEL_NO, \
    VEXEL_YES, \
    VEXEL_LIST_SEPARATOR, \
    VEXEL_SUBDOMAINS_MARK, \
    VEXEL_FIND_FORWARD, \
    VEXEL_FIND_BACKWARD, \
    VEXEL_LEAVE_NEXT, \
    VEXEL_LEAVE_PREV, \
    VEXEL_CRASH_MEMORY, \
    VEXEL_CRASH_REQUESTED, \
    VEXEL_CRASH_CRASHED, \
    VEXEL_DIALOG_ALERT, \
    VEXEL_DIALOG_CONFIRM, \
    VEXEL_DIALOG_PROMPT, \
    VEXEL_DIALOG_LEAVE, \
    VEXEL_AUTH_SITE, \
    VEXEL_AUTH_PROXY, \
    VEXEL_PERMISSION_GEOLOCATION, \
    VEXEL_PERMISSION_NOTIFICATIONS, \
    VEXEL_PERMISSION_CAMERA, \
    VEXEL_PERMISSION_MICROPHONE, \
    VEXEL_PERMISSION_CAMERA_MICROPHONE, \
    VEXEL_PERMISSION_SCREEN, \
    VEXEL_PERMISSION_CLIPBOARD_READ, \
    VEXEL_PERMISSION_POINTER_LOCK, \
    VEXEL_FAILED_NAME, \
    VEXEL_FAILED_REFUSED, \
    VEXEL_FAILED_RESET, \
    VEXEL_FAILED_TIMEOUT, \
    VEXEL_FAILED_OFFLINE, \
    VEXEL_FAILED_FILE, \
    VEXEL_FAILED_TLS, \
    VEXEL_FAILED_BLOCKED, \
    VEXEL_FAILED_OTHER, \
    VEXEL_CERT_UNKNOWN_CA, \
    VEXEL_CERT_BAD_IDENTITY, \
    VEXEL_CERT_NOT_ACTIVATED, \
    VEXEL_CERT_EXPIRED, \
    VEXEL_CERT_REVOKED, \
    VEXEL_CERT_INSECURE, \
    VEXEL_CERT_OTHER, \
    VEXEL_DOWNLOAD_NETWORK, \
    VEXEL_DOWNLOAD_DESTINATION, \
    VEXEL_DOWNLOAD_CANCELLED, \
    VEXEL_DOWNLOAD_OTHER, \
    VEXEL_DATA_COOKIES, \
    VEXEL_DATA_STORAGE, \
    VEXEL_DATA_CACHE, \
    VEXEL_DATA_LOCAL_STORAGE, \
    VEXEL_DATA_SESSION_STORAGE, \
    VEXEL_DATA_INDEXEDDB, \
    VEXEL_DATA_SERVICE_WORKER, \
    VEXEL_DATA_CACHE_STORAGE, \
    VEXEL_DATA_APPCACHE, \
    VEXEL_DATA_WEBSQL, \
    VEXEL_ENGINE_IE, \
    VEXEL_ENGINE_GECKO
