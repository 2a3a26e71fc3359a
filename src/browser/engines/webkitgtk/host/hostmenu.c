// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostmenu.h"

#include "hostblocking.h"
#include "hostrules.h"

#include <string.h>

static void go_back(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    webkit_web_view_go_back(((HostView *)data)->web);
}

static void go_forward(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    webkit_web_view_go_forward(((HostView *)data)->web);
}

static void reload(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    webkit_web_view_reload(((HostView *)data)->web);
}

/* Editing commands run on the page's selection or focused field; the action's
   name is the command's. */
static void edit(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)parameter;
    webkit_web_view_execute_editing_command(((HostView *)data)->web, g_action_get_name(G_ACTION(action)));
}

static void copy_address(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)data;
    gtk_clipboard_set_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), g_variant_get_string(parameter, NULL), -1);
}

/* The frame opens the window, of the engine its menu chooses, as for a page
   asking for one. */
static void open_link(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    host_send(((HostView *)data)->id, VEXEL_VERB_NEWWINDOW, g_variant_get_string(parameter, NULL), NULL);
}

static void print(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    host_send(((HostView *)data)->id, VEXEL_VERB_PRINT, NULL);
}

static void find(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    host_send(((HostView *)data)->id, VEXEL_VERB_FINDBAR, NULL);
}

static void zoom_in(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    host_send(((HostView *)data)->id, VEXEL_VERB_ZOOMSTEP, "1", NULL);
}

static void zoom_out(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    host_send(((HostView *)data)->id, VEXEL_VERB_ZOOMSTEP, "-1", NULL);
}

static void zoom_reset(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    host_send(((HostView *)data)->id, VEXEL_VERB_ZOOMSTEP, "0", NULL);
}

/* The link's target downloaded: the frame asks where, as for any download. */
static void save_link(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    g_autoptr(WebKitDownload) download =
        webkit_web_view_download_uri(((HostView *)data)->web, g_variant_get_string(parameter, NULL));
}

/* The frame asks where the page goes, then has it saved (savepageas). */
static void save_page(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    HostView *v = data;
    host_send(v->id, VEXEL_VERB_SAVEPAGE, host_text(webkit_web_view_get_title(v->web)), NULL);
}

/* The frame shows the source in a window of its own (source). */
static void view_source(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    host_send(((HostView *)data)->id, VEXEL_VERB_VIEWSOURCE, NULL);
}

/* The page's address in a window of the other engine, opened by the frame. */
static void other_engine(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    host_send(((HostView *)data)->id, VEXEL_VERB_OTHERENGINE, NULL);
}

static void side_by_side(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    host_send(((HostView *)data)->id, VEXEL_VERB_SIDEBYSIDE, NULL);
}

/* The frame's window of remembered decisions, on this page's site. */
static void site_settings(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)action;
    (void)parameter;
    host_send(((HostView *)data)->id, VEXEL_VERB_SITESETTINGS, NULL);
}

/* The encodings a Japanese page may be written in; the first reads the page
   as it declares itself, or as WebKit makes it out. */
static const struct {
    const char *action;
    const char *charset;
    const char *label;
} encodings[] = {
    {"charset-auto", NULL, "自動"},
    {"charset-shift-jis", "Shift_JIS", "Shift_JIS"},
    {"charset-euc-jp", "EUC-JP", "EUC-JP"},
    {"charset-iso-2022-jp", "ISO-2022-JP", "ISO-2022-JP"},
    {"charset-utf-8", "UTF-8", "UTF-8"},
};

/* Reads the page again in the chosen encoding, this page only (see
   on_load_changed). */
static void choose_encoding(GSimpleAction *action, GVariant *parameter, gpointer data)
{
    (void)parameter;
    HostView *v = data;
    for (guint i = 0; i < G_N_ELEMENTS(encodings); ++i) {
        if (strcmp(g_action_get_name(G_ACTION(action)), encodings[i].action) == 0) {
            g_free(v->charset_page);
            v->charset_page = encodings[i].charset ? g_strdup(webkit_web_view_get_uri(v->web)) : NULL;
            webkit_web_view_set_custom_charset(v->web, encodings[i].charset);
        }
    }
}

static const GActionEntry actions[] = {
    {.name = "back", .activate = go_back},
    {.name = "forward", .activate = go_forward},
    {.name = "reload", .activate = reload},
    {.name = WEBKIT_EDITING_COMMAND_CUT, .activate = edit},
    {.name = WEBKIT_EDITING_COMMAND_COPY, .activate = edit},
    {.name = WEBKIT_EDITING_COMMAND_PASTE, .activate = edit},
    {.name = WEBKIT_EDITING_COMMAND_SELECT_ALL, .activate = edit},
    {.name = "copy-address", .activate = copy_address, .parameter_type = "s"},
    {.name = "open-link", .activate = open_link, .parameter_type = "s"},
    {.name = "save-link", .activate = save_link, .parameter_type = "s"},
    {.name = "save-page", .activate = save_page},
    {.name = "view-source", .activate = view_source},
    {.name = "print", .activate = print},
    {.name = "find", .activate = find},
    {.name = "zoom-in", .activate = zoom_in},
    {.name = "zoom-out", .activate = zoom_out},
    {.name = "zoom-reset", .activate = zoom_reset},
    {.name = "other-engine", .activate = other_engine},
    {.name = "side-by-side", .activate = side_by_side},
    {.name = "site-settings", .activate = site_settings},
    /* A state makes WebKit show a check mark. */
    {.name = "charset-auto", .activate = choose_encoding, .state = "false"},
    {.name = "charset-shift-jis", .activate = choose_encoding, .state = "false"},
    {.name = "charset-euc-jp", .activate = choose_encoding, .state = "false"},
    {.name = "charset-iso-2022-jp", .activate = choose_encoding, .state = "false"},
    {.name = "charset-utf-8", .activate = choose_encoding, .state = "false"},
};

static GAction *action_of(HostView *v, const char *name)
{
    return g_action_map_lookup_action(G_ACTION_MAP(v->menu_actions), name);
}

static void add(WebKitContextMenu *menu, HostView *v, const char *name, const char *label, const char *target)
{
    webkit_context_menu_append(menu, webkit_context_menu_item_new_from_gaction(
                                         action_of(v, name), label, target ? g_variant_new_string(target) : NULL));
}

static void add_separator(WebKitContextMenu *menu)
{
    webkit_context_menu_append(menu, webkit_context_menu_item_new_separator());
}

/* エンコード: the encoding the page is read in now checked. */
static void add_encodings(WebKitContextMenu *menu, HostView *v)
{
    const char *current = webkit_web_view_get_custom_charset(v->web);
    if (current && !*current)
        current = NULL;
    g_autoptr(WebKitContextMenu) submenu = webkit_context_menu_new();
    for (guint i = 0; i < G_N_ELEMENTS(encodings); ++i) {
        const char *charset = encodings[i].charset;
        const gboolean chosen = charset ? current && g_ascii_strcasecmp(current, charset) == 0 : !current;
        GAction *action = action_of(v, encodings[i].action);
        g_simple_action_set_state(G_SIMPLE_ACTION(action), g_variant_new_boolean(chosen));
        webkit_context_menu_append(submenu, webkit_context_menu_item_new_from_gaction(action, encodings[i].label, NULL));
    }
    /* The item holds a reference of its own. */
    webkit_context_menu_append(menu, webkit_context_menu_item_new_with_submenu("エンコード", submenu));
}

static gboolean on_context_menu(WebKitWebView *web, WebKitContextMenu *menu, GdkEvent *event,
                                WebKitHitTestResult *hit, HostView *v)
{
    (void)event;
    webkit_context_menu_remove_all(menu);
    g_simple_action_set_enabled(G_SIMPLE_ACTION(action_of(v, "back")), webkit_web_view_can_go_back(web));
    g_simple_action_set_enabled(G_SIMPLE_ACTION(action_of(v, "forward")), webkit_web_view_can_go_forward(web));
    add(menu, v, "back", "戻る", NULL);
    add(menu, v, "forward", "進む", NULL);
    add(menu, v, "reload", "再読み込み", NULL);

    const char *link = webkit_hit_test_result_context_is_link(hit) ? webkit_hit_test_result_get_link_uri(hit) : NULL;
    const char *image = webkit_hit_test_result_context_is_image(hit) ? webkit_hit_test_result_get_image_uri(hit) : NULL;
    if ((link && *link) || (image && *image))
        add_separator(menu);
    if (link && *link) {
        add(menu, v, "open-link", "リンクを新しいウィンドウで開く", link);
        add(menu, v, "copy-address", "リンクのアドレスをコピー", link);
        add(menu, v, "save-link", "リンク先を保存", link);
    }
    if (image && *image)
        add(menu, v, "copy-address", "画像のアドレスをコピー", image);

    if (webkit_hit_test_result_context_is_editable(hit)) {
        add_separator(menu);
        add(menu, v, WEBKIT_EDITING_COMMAND_CUT, "切り取り", NULL);
        add(menu, v, WEBKIT_EDITING_COMMAND_COPY, "コピー", NULL);
        add(menu, v, WEBKIT_EDITING_COMMAND_PASTE, "貼り付け", NULL);
        add(menu, v, WEBKIT_EDITING_COMMAND_SELECT_ALL, "すべて選択", NULL);
    } else if (webkit_hit_test_result_context_is_selection(hit)) {
        add_separator(menu);
        add(menu, v, WEBKIT_EDITING_COMMAND_COPY, "コピー", NULL);
    }

    add_separator(menu);
    add(menu, v, "print", "印刷...", NULL);
    add(menu, v, "find", "ページ内を検索...", NULL);
    add(menu, v, "zoom-in", "拡大", NULL);
    add(menu, v, "zoom-out", "縮小", NULL);
    add(menu, v, "zoom-reset", "標準の大きさ", NULL);
    add_separator(menu);
    add_encodings(menu, v);
    add_separator(menu);
    add(menu, v, "other-engine", "もう一方のエンジンで開く", NULL);
    rules_menu(menu, v);
    add(menu, v, "side-by-side", "両方のエンジンで並べて表示", NULL);
    add_separator(menu);
    add(menu, v, "save-page", "ページを保存", NULL);
    add(menu, v, "view-source", "ソースを表示", NULL);
    /* WebKit's own: it knows the element under the pointer. */
    webkit_context_menu_append(menu, webkit_context_menu_item_new_from_stock_action_with_label(
                                         WEBKIT_CONTEXT_MENU_ACTION_INSPECT_ELEMENT, "要素を調査"));
    add(menu, v, "site-settings", "サイトの設定", NULL);
    blocking_menu(menu, v);
    return FALSE;
}

void menu_attach(HostView *v)
{
    v->menu_actions = g_simple_action_group_new();
    g_action_map_add_action_entries(G_ACTION_MAP(v->menu_actions), actions, G_N_ELEMENTS(actions), v);
    g_signal_connect(v->web, "context-menu", G_CALLBACK(on_context_menu), v);
}

void menu_detach(HostView *v)
{
    /* A menu still open keeps its actions; they must no longer reach the
       view. */
    for (guint i = 0; i < G_N_ELEMENTS(actions); ++i)
        g_simple_action_set_enabled(G_SIMPLE_ACTION(action_of(v, actions[i].name)), FALSE);
    g_signal_handlers_disconnect_by_func(v->web, G_CALLBACK(on_context_menu), v);
    g_clear_object(&v->menu_actions);
}
