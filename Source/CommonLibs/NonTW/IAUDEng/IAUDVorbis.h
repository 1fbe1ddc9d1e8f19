// libvorbisfile as the runtime reaches it: through function pointers that
// InitVorbisFile sets.
#pragma once

#include <vorbis/vorbisfile.h>

extern int (*fn_ov_clear)(OggVorbis_File*);
extern long (*fn_ov_read)(OggVorbis_File*, char*, int, int, int, int, int*);
extern ogg_int64_t (*fn_ov_pcm_total)(OggVorbis_File*, int);
extern vorbis_info* (*fn_ov_info)(OggVorbis_File*, int);
extern vorbis_comment* (*fn_ov_comment)(OggVorbis_File*, int);
extern int (*fn_ov_open_callbacks)(void*, OggVorbis_File*, const char*, long, ov_callbacks);
