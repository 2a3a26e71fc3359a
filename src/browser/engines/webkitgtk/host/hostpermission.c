// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostpermission.h"

#include "hostask.h"

#include <string.h>

/* The word of a request's kind, as the frame remembers decisions; NULL for
   a request the frame is not asked about (WebKit's default answers it). */
static const char *kind_of(WebKitPermissionRequest *request)
{
    if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request))
        return VEXEL_PERMISSION_GEOLOCATION;
    if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request))
        return VEXEL_PERMISSION_NOTIFICATIONS;
    if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
        WebKitUserMediaPermissionRequest *media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
        if (webkit_user_media_permission_is_for_display_device(media))
            return VEXEL_PERMISSION_SCREEN;
        const gboolean audio = webkit_user_media_permission_is_for_audio_device(media);
        const gboolean video = webkit_user_media_permission_is_for_video_device(media);
        if (audio && video)
            return VEXEL_PERMISSION_CAMERA_MICROPHONE;
        return video ? VEXEL_PERMISSION_CAMERA : audio ? VEXEL_PERMISSION_MICROPHONE : NULL;
    }
    if (WEBKIT_IS_CLIPBOARD_PERMISSION_REQUEST(request))
        return VEXEL_PERMISSION_CLIPBOARD_READ;
    if (WEBKIT_IS_POINTER_LOCK_PERMISSION_REQUEST(request))
        return VEXEL_PERMISSION_POINTER_LOCK;
    return NULL;
}

static gboolean on_permission_request(WebKitWebView *web, WebKitPermissionRequest *request, HostView *v)
{
    const char *kind = kind_of(request);
    if (!kind)
        return FALSE;
    /* The site is the page's: a frame inside it asks in its name. */
    char number[16];
    g_snprintf(number, sizeof number, "%u", question_add(v->id, QUESTION_PERMISSION, g_object_ref(request)));
    if (!host_send(v->id, VEXEL_VERB_PERMISSION, number, kind, host_text(webkit_web_view_get_uri(web)), NULL))
        /* Too long an address to ask about: refused now rather than never. */
        give_up_number(v->id, QUESTION_PERMISSION, number);
    return TRUE;
}

void answer_permission(HostView *v, const char *const *fields, guint count)
{
    g_autoptr(WebKitPermissionRequest) request =
        question_take(view_number_field(fields, count, 0), v->id, QUESTION_PERMISSION);
    if (!request)
        return;
    if (count > 1 && strcmp(fields[1], VEXEL_YES) == 0)
        webkit_permission_request_allow(request);
    else
        webkit_permission_request_deny(request);
}

/* Shown by the frame (on the desktop), so WebKit shows nothing itself. */
static gboolean on_show_notification(WebKitWebView *web, WebKitNotification *notification, HostView *v)
{
    host_send(v->id, VEXEL_VERB_NOTIFICATION, host_text(webkit_web_view_get_uri(web)),
              host_text(webkit_notification_get_title(notification)),
              host_text(webkit_notification_get_body(notification)), NULL);
    return TRUE;
}

/* The decisions on notifications the user keeps (the frame's file of
   decisions: site, kind and allow or deny, a line), so a page reads its
   permission right from the start. WebKit asks at each new web process. */
static void on_initialize_notifications(WebKitWebContext *context, gpointer data)
{
    (void)data;
    GList *allowed = NULL, *denied = NULL;
    g_autofree char *path = g_build_filename(g_get_user_data_dir(), "Vexel", "site-permissions.txt", NULL);
    g_autofree char *text = NULL;
    if (g_file_get_contents(path, &text, NULL, NULL) && g_utf8_validate(text, -1, NULL)) {
        g_auto(GStrv) lines = g_strsplit(text, "\n", -1);
        for (char **line = lines; *line; ++line) {
            g_auto(GStrv) f = g_strsplit(*line, "\t", -1);
            const gboolean allow = g_strv_length(f) == 3 && strcmp(f[2], "allow") == 0;
            const gboolean deny = g_strv_length(f) == 3 && strcmp(f[2], "deny") == 0;
            if ((allow || deny) && strcmp(f[1], "notifications") == 0 && g_uri_is_valid(f[0], G_URI_FLAGS_NONE, NULL)) {
                WebKitSecurityOrigin *origin = webkit_security_origin_new_for_uri(f[0]);
                if (allow)
                    allowed = g_list_prepend(allowed, origin);
                else
                    denied = g_list_prepend(denied, origin);
            }
        }
    }
    webkit_web_context_initialize_notification_permissions(context, allowed, denied);
    g_list_free_full(allowed, (GDestroyNotify)webkit_security_origin_unref);
    g_list_free_full(denied, (GDestroyNotify)webkit_security_origin_unref);
}

void permissions_init(WebKitWebContext *context)
{
    g_signal_connect(context, "initialize-notification-permissions", G_CALLBACK(on_initialize_notifications), NULL);
}

void permissions_attach(HostView *v)
{
    /* Web meetings: the camera, the microphone and the screen, each only
       with the user's leave. */
    WebKitSettings *settings = webkit_web_view_get_settings(v->web);
    webkit_settings_set_enable_media_stream(settings, TRUE);
    webkit_settings_set_enable_webrtc(settings, TRUE);
    g_signal_connect(v->web, "permission-request", G_CALLBACK(on_permission_request), v);
    g_signal_connect(v->web, "show-notification", G_CALLBACK(on_show_notification), v);
}
