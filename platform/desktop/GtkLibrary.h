#pragma once
// GTK, opened when the window is first asked for (see LazyLibrary.h): a headless script never maps
// it. The window's sources include this after their own includes; each GTK, GdkPixbuf and X
// function they call is named here.

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

#include <optional>
#include <string>

#include "platform/foundation/LazyLibrary.h"

#define QUILLORA_GTK "libgtk-4.so.1"
#define gdk_clipboard_get_type QUILLORA_LAZY(QUILLORA_GTK, gdk_clipboard_get_type)
#define gdk_clipboard_read_text_async QUILLORA_LAZY(QUILLORA_GTK, gdk_clipboard_read_text_async)
#define gdk_clipboard_read_text_finish QUILLORA_LAZY(QUILLORA_GTK, gdk_clipboard_read_text_finish)
#define gdk_clipboard_set_text QUILLORA_LAZY(QUILLORA_GTK, gdk_clipboard_set_text)
#define gdk_display_get_clipboard QUILLORA_LAZY(QUILLORA_GTK, gdk_display_get_clipboard)
#define gdk_display_get_default QUILLORA_LAZY(QUILLORA_GTK, gdk_display_get_default)
#define gdk_display_get_monitors QUILLORA_LAZY(QUILLORA_GTK, gdk_display_get_monitors)
#define gdk_frame_clock_get_frame_time QUILLORA_LAZY(QUILLORA_GTK, gdk_frame_clock_get_frame_time)
#define gdk_keyval_name QUILLORA_LAZY(QUILLORA_GTK, gdk_keyval_name)
#define gdk_keyval_to_unicode QUILLORA_LAZY(QUILLORA_GTK, gdk_keyval_to_unicode)
#define gdk_monitor_get_geometry QUILLORA_LAZY(QUILLORA_GTK, gdk_monitor_get_geometry)
#define gdk_texture_new_for_pixbuf QUILLORA_LAZY(QUILLORA_GTK, gdk_texture_new_for_pixbuf)
#define gdk_toplevel_get_state QUILLORA_LAZY(QUILLORA_GTK, gdk_toplevel_get_state)
#define gdk_toplevel_get_type QUILLORA_LAZY(QUILLORA_GTK, gdk_toplevel_get_type)
#define gdk_toplevel_set_icon_list QUILLORA_LAZY(QUILLORA_GTK, gdk_toplevel_set_icon_list)
#define gtk_application_new QUILLORA_LAZY(QUILLORA_GTK, gtk_application_new)
#define gtk_drawing_area_get_type QUILLORA_LAZY(QUILLORA_GTK, gtk_drawing_area_get_type)
#define gtk_drawing_area_new QUILLORA_LAZY(QUILLORA_GTK, gtk_drawing_area_new)
#define gtk_drawing_area_set_draw_func QUILLORA_LAZY(QUILLORA_GTK, gtk_drawing_area_set_draw_func)
#define gtk_event_controller_get_current_event_state                                                         \
    QUILLORA_LAZY(QUILLORA_GTK, gtk_event_controller_get_current_event_state)
#define gtk_event_controller_get_type QUILLORA_LAZY(QUILLORA_GTK, gtk_event_controller_get_type)
#define gtk_event_controller_key_get_type QUILLORA_LAZY(QUILLORA_GTK, gtk_event_controller_key_get_type)
#define gtk_event_controller_key_new QUILLORA_LAZY(QUILLORA_GTK, gtk_event_controller_key_new)
#define gtk_event_controller_key_set_im_context                                                              \
    QUILLORA_LAZY(QUILLORA_GTK, gtk_event_controller_key_set_im_context)
#define gtk_event_controller_motion_new QUILLORA_LAZY(QUILLORA_GTK, gtk_event_controller_motion_new)
#define gtk_event_controller_scroll_get_unit QUILLORA_LAZY(QUILLORA_GTK, gtk_event_controller_scroll_get_unit)
#define gtk_event_controller_scroll_new QUILLORA_LAZY(QUILLORA_GTK, gtk_event_controller_scroll_new)
#define gtk_file_chooser_add_filter QUILLORA_LAZY(QUILLORA_GTK, gtk_file_chooser_add_filter)
#define gtk_file_chooser_get_file QUILLORA_LAZY(QUILLORA_GTK, gtk_file_chooser_get_file)
#define gtk_file_chooser_get_type QUILLORA_LAZY(QUILLORA_GTK, gtk_file_chooser_get_type)
#define gtk_file_chooser_native_new QUILLORA_LAZY(QUILLORA_GTK, gtk_file_chooser_native_new)
#define gtk_file_chooser_set_current_folder QUILLORA_LAZY(QUILLORA_GTK, gtk_file_chooser_set_current_folder)
#define gtk_file_chooser_set_current_name QUILLORA_LAZY(QUILLORA_GTK, gtk_file_chooser_set_current_name)
#define gtk_file_filter_add_mime_type QUILLORA_LAZY(QUILLORA_GTK, gtk_file_filter_add_mime_type)
#define gtk_file_filter_add_pattern QUILLORA_LAZY(QUILLORA_GTK, gtk_file_filter_add_pattern)
#define gtk_file_filter_new QUILLORA_LAZY(QUILLORA_GTK, gtk_file_filter_new)
#define gtk_file_filter_set_name QUILLORA_LAZY(QUILLORA_GTK, gtk_file_filter_set_name)
#define gtk_gesture_drag_new QUILLORA_LAZY(QUILLORA_GTK, gtk_gesture_drag_new)
#define gtk_gesture_single_get_type QUILLORA_LAZY(QUILLORA_GTK, gtk_gesture_single_get_type)
#define gtk_gesture_single_set_button QUILLORA_LAZY(QUILLORA_GTK, gtk_gesture_single_set_button)
#define gtk_icon_theme_add_search_path QUILLORA_LAZY(QUILLORA_GTK, gtk_icon_theme_add_search_path)
#define gtk_icon_theme_get_for_display QUILLORA_LAZY(QUILLORA_GTK, gtk_icon_theme_get_for_display)
#define gtk_im_context_focus_in QUILLORA_LAZY(QUILLORA_GTK, gtk_im_context_focus_in)
#define gtk_im_context_set_client_widget QUILLORA_LAZY(QUILLORA_GTK, gtk_im_context_set_client_widget)
#define gtk_im_multicontext_new QUILLORA_LAZY(QUILLORA_GTK, gtk_im_multicontext_new)
#define gtk_init_check QUILLORA_LAZY(QUILLORA_GTK, gtk_init_check)
#define gtk_native_dialog_destroy QUILLORA_LAZY(QUILLORA_GTK, gtk_native_dialog_destroy)
#define gtk_native_dialog_get_type QUILLORA_LAZY(QUILLORA_GTK, gtk_native_dialog_get_type)
#define gtk_native_dialog_set_modal QUILLORA_LAZY(QUILLORA_GTK, gtk_native_dialog_set_modal)
#define gtk_native_dialog_show QUILLORA_LAZY(QUILLORA_GTK, gtk_native_dialog_show)
#define gtk_native_get_surface QUILLORA_LAZY(QUILLORA_GTK, gtk_native_get_surface)
#define gtk_native_get_type QUILLORA_LAZY(QUILLORA_GTK, gtk_native_get_type)
#define gtk_print_job_new QUILLORA_LAZY(QUILLORA_GTK, gtk_print_job_new)
#define gtk_print_job_send QUILLORA_LAZY(QUILLORA_GTK, gtk_print_job_send)
#define gtk_print_job_set_source_file QUILLORA_LAZY(QUILLORA_GTK, gtk_print_job_set_source_file)
#define gtk_print_unix_dialog_get_page_setup QUILLORA_LAZY(QUILLORA_GTK, gtk_print_unix_dialog_get_page_setup)
#define gtk_print_unix_dialog_get_selected_printer                                                           \
    QUILLORA_LAZY(QUILLORA_GTK, gtk_print_unix_dialog_get_selected_printer)
#define gtk_print_unix_dialog_get_settings QUILLORA_LAZY(QUILLORA_GTK, gtk_print_unix_dialog_get_settings)
#define gtk_print_unix_dialog_get_type QUILLORA_LAZY(QUILLORA_GTK, gtk_print_unix_dialog_get_type)
#define gtk_print_unix_dialog_new QUILLORA_LAZY(QUILLORA_GTK, gtk_print_unix_dialog_new)
#define gtk_print_unix_dialog_set_embed_page_setup                                                           \
    QUILLORA_LAZY(QUILLORA_GTK, gtk_print_unix_dialog_set_embed_page_setup)
#define gtk_print_unix_dialog_set_manual_capabilities                                                        \
    QUILLORA_LAZY(QUILLORA_GTK, gtk_print_unix_dialog_set_manual_capabilities)
#define gtk_settings_get_default QUILLORA_LAZY(QUILLORA_GTK, gtk_settings_get_default)
#define gtk_widget_add_controller QUILLORA_LAZY(QUILLORA_GTK, gtk_widget_add_controller)
#define gtk_widget_add_tick_callback QUILLORA_LAZY(QUILLORA_GTK, gtk_widget_add_tick_callback)
#define gtk_widget_grab_focus QUILLORA_LAZY(QUILLORA_GTK, gtk_widget_grab_focus)
#define gtk_widget_queue_draw QUILLORA_LAZY(QUILLORA_GTK, gtk_widget_queue_draw)
#define gtk_widget_remove_tick_callback QUILLORA_LAZY(QUILLORA_GTK, gtk_widget_remove_tick_callback)
#define gtk_widget_set_focusable QUILLORA_LAZY(QUILLORA_GTK, gtk_widget_set_focusable)
#define gtk_widget_set_hexpand QUILLORA_LAZY(QUILLORA_GTK, gtk_widget_set_hexpand)
#define gtk_widget_set_size_request QUILLORA_LAZY(QUILLORA_GTK, gtk_widget_set_size_request)
#define gtk_widget_set_vexpand QUILLORA_LAZY(QUILLORA_GTK, gtk_widget_set_vexpand)
#define gtk_window_destroy QUILLORA_LAZY(QUILLORA_GTK, gtk_window_destroy)
#define gtk_window_get_type QUILLORA_LAZY(QUILLORA_GTK, gtk_window_get_type)
#define gtk_window_new QUILLORA_LAZY(QUILLORA_GTK, gtk_window_new)
#define gtk_window_present QUILLORA_LAZY(QUILLORA_GTK, gtk_window_present)
#define gtk_window_present_with_time QUILLORA_LAZY(QUILLORA_GTK, gtk_window_present_with_time)
#define gtk_window_set_application QUILLORA_LAZY(QUILLORA_GTK, gtk_window_set_application)
#define gtk_window_set_child QUILLORA_LAZY(QUILLORA_GTK, gtk_window_set_child)
#define gtk_window_set_default_icon_name QUILLORA_LAZY(QUILLORA_GTK, gtk_window_set_default_icon_name)
#define gtk_window_set_default_size QUILLORA_LAZY(QUILLORA_GTK, gtk_window_set_default_size)
#define gtk_window_set_modal QUILLORA_LAZY(QUILLORA_GTK, gtk_window_set_modal)
#define gtk_window_set_title QUILLORA_LAZY(QUILLORA_GTK, gtk_window_set_title)
#define gdk_pixbuf_new_from_file_at_size                                                                     \
    QUILLORA_LAZY("libgdk_pixbuf-2.0.so.0", gdk_pixbuf_new_from_file_at_size)

#ifdef GDK_WINDOWING_X11
#define gdk_x11_display_get_type QUILLORA_LAZY(QUILLORA_GTK, gdk_x11_display_get_type)
#define gdk_x11_display_get_xdisplay QUILLORA_LAZY(QUILLORA_GTK, gdk_x11_display_get_xdisplay)
#define gdk_x11_display_set_program_class QUILLORA_LAZY(QUILLORA_GTK, gdk_x11_display_set_program_class)
#define gdk_x11_get_server_time QUILLORA_LAZY(QUILLORA_GTK, gdk_x11_get_server_time)
#define gdk_x11_surface_get_type QUILLORA_LAZY(QUILLORA_GTK, gdk_x11_surface_get_type)
#define gdk_x11_surface_get_xid QUILLORA_LAZY(QUILLORA_GTK, gdk_x11_surface_get_xid)
#define XSetErrorHandler QUILLORA_LAZY("libX11.so.6", XSetErrorHandler)
#define XSetIOErrorExitHandler QUILLORA_LAZY("libX11.so.6", XSetIOErrorExitHandler)
#define XSetIOErrorHandler QUILLORA_LAZY("libX11.so.6", XSetIOErrorHandler)
#endif

namespace platform {

// Why the window cannot be had, when GTK or a library it is drawn and watched with beside it
// cannot be used; none when all can. Asked before the window's first call of any of them.
inline std::optional<std::string> loadWindowLibraries() {
    for (const char* soname : {QUILLORA_GTK, "libgdk_pixbuf-2.0.so.0"
#ifdef GDK_WINDOWING_X11
                               ,
                               "libX11.so.6"
#endif
         })
        if (auto missing = LazyLibrary::load(soname)) return missing;
    return std::nullopt;
}

} // namespace platform

// Casts and checks that GTK declares as inline functions, which would call the type functions above
// by their own names.
#define GTK_NATIVE(object) G_TYPE_CHECK_INSTANCE_CAST((object), gtk_native_get_type(), GtkNative)
#define GTK_NATIVE_DIALOG(object)                                                                            \
    G_TYPE_CHECK_INSTANCE_CAST((object), gtk_native_dialog_get_type(), GtkNativeDialog)
#define GDK_TOPLEVEL(object) G_TYPE_CHECK_INSTANCE_CAST((object), gdk_toplevel_get_type(), GdkToplevel)
#define GDK_IS_TOPLEVEL(object) G_TYPE_CHECK_INSTANCE_TYPE((object), gdk_toplevel_get_type())
