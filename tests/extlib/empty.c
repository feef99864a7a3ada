/* A shared library with none of the functions a real one has: put in the
   place of one the runner opens, it stands for a broken installation. */
int rr_empty_library_marker = 1;
