#pragma once
/* The pipe between the frame and its WebKitGTK host (vexel-webkit).

   One message a line, fields separated by one space, the view's number
   first (0 for the host itself). Text fields are percent-encoded (UTF-8),
   so a field holds no space or newline; an empty text is an empty field.
   The frame numbers the views; a message for a view the other side no
   longer knows is dropped.

   frame -> host                      host -> frame
   <v> create                         0 ready                 (once, at start)
   <v> load <uri>                     <v> plug <xid>          (answers create)
   <v> back | forward | stop | reload <v> error <text>        (create failed)
   <v> find <f|b> <text>  ("" ends)   <v> uri <uri>
   <v> zoom <factor>                  <v> title <text>
   <v> tryclose                       <v> progress <0..100>
   <v> release                        <v> status <link uri or "">
                                      <v> history <back 0|1> <forward 0|1>
                                      <v> newwindow <uri>
                                      <v> popupblocked        (window.open without a click or key)
                                      <v> press               (button pressed in the page)
                                      <v> leave <next|prev>   (Tab ran off the page)
                                      <v> close               (window.close(), or tryclose agreed)
                                      <v> crashed <reason>    (its web process ended)
                                      <v> certificate <problem,...>  (a page refused)
                                      <v> findbar             (from the page's context menu)
                                      <v> zoomstep <1|-1|0>   (from the page's context menu)
                                      <v> otherengine         (from the page's context menu)

   Questions to the user, each numbered <q> by the host; the page (or the
   download) waits for the answer, nothing else does:
   <v> dialog <q> <alert|confirm|prompt|leave> <message> <default text>
         answered by  <v> answer <q> <ok 0|1> <prompt's text>
   <v> auth <q> <site|proxy> <host> <realm>
         answered by  <v> credentials <q> <ok 0|1> <user> <password>
   <v> download <q> <suggested file name>
         answered by  <v> save <q> <path>   ("" cancels: nothing is saved)
   and how a download goes on:
   <v> downloading <name> <received bytes> <total bytes, 0 unknown>
   <v> downloaded <name>
   <v> downloadfailed <name> <network|destination|cancelled|other>

   Keyboard focus travels as XEmbed messages on the plug window; keys the
   plug receives directly are sent back to the frame's window, which hands
   them to the plug again only while the page has the focus. */

#define VEXEL_WEBKIT_HOST "vexel-webkit"
