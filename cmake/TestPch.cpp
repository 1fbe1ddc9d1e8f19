// Compiles the test programs' shared precompiled header once.
