// Text before the first section is not part of any function.
#define scr_pkg_init
show_debug_message("script init, answer " + string(PKG_ANSWER));
#define describe
// describe(label, value): argument_count and the slots of this call only
return argument0 + "=" + string(argument1) + " (" + string(argument_count) + " args)";
#define scr_pkg_final
show_debug_message("script final");
