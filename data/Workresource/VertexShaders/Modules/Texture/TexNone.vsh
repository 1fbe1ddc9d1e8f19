// No texture coordinates.
