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
   <v> release                        <v> progress <0..100>
                                      <v> status <link uri or "">
                                      <v> history <back 0|1> <forward 0|1>
                                      <v> newwindow <uri>
                                      <v> press               (button pressed in the page)
                                      <v> leave <next|prev>   (Tab ran off the page)
                                      <v> close               (window.close())
                                      <v> crashed <reason>    (its web process ended)

   Keyboard focus travels as XEmbed messages on the plug window; keys the
   plug receives directly are sent back to the frame's window, which hands
   them to the plug again only while the page has the focus. */

#define VEXEL_WEBKIT_HOST "vexel-webkit"
