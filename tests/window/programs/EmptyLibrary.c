/* A library with a name the program knows and nothing in it, as a broken installation leaves one. */
