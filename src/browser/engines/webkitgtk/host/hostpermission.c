#include "hostpermission.h"

#include "hostask.h"

#include <string.h>

/* The word of a request's kind, as the frame remembers decisions; NULL for
   a request the frame is not asked about (WebKit's default answers it). */
static const char *kind_of(WebKitPermissionRequest *request)
{
    if (WEBKIT_IS_GEOLOCATION_PERMISSION_REQUEST(request))
        return "geolocation";
    if (WEBKIT_IS_NOTIFICATION_PERMISSION_REQUEST(request))
        return "notifications";
    if (WEBKIT_IS_USER_MEDIA_PERMISSION_REQUEST(request)) {
        WebKitUserMediaPermissionRequest *media = WEBKIT_USER_MEDIA_PERMISSION_REQUEST(request);
        if (webkit_user_media_permission_is_for_display_device(media))
            return "screen";
        const gboolean audio = webkit_user_media_permission_is_for_audio_device(media);
        const gboolean video = webkit_user_media_permission_is_for_video_device(media);
        if (audio && video)
            return "camera-microphone";
        return video ? "camera" : audio ? "microphone" : NULL;
    }
    if (WEBKIT_IS_CLIPBOARD_PERMISSION_REQUEST(request))
        return "clipboard-read";
    if (WEBKIT_IS_POINTER_LOCK_PERMISSION_REQUEST(request))
        return "pointer-lock";
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
    WebKitPermissionRequest *request = question_take(view_number_field(fields, count, 0), v->id, QUESTION_PERMISSION);
    if (!request)
        return;
    if (count > 1 && strcmp(fields[1], "1") == 0)
        webkit_permission_request_allow(request);
    else
        webkit_permission_request_deny(request);
    g_object_unref(request);
}

/* Shown by the frame (on the desktop), so WebKit shows nothing itself. */
static gboolean on_show_notification(WebKitWebView *web, WebKitNotification *notification, HostView *v)
{
    host_send(v->id, VEXEL_VERB_NOTIFICATION, host_text(webkit_web_view_get_uri(web)),
              host_text(webkit_notification_get_title(notification)),
              host_text(webkit_notification_get_body(notification)), NULL);
    return TRUE;
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
