/* The host's own stream as a C host writes one: a table of the public
 * stream's seventeen thiscall slots over a growable memory buffer. Reads
 * start at the front; writes append; Tell and GetSize answer the length and
 * SetSize cuts back (or grows with zeros); Seek is not offered, as on a pipe.
 * A seekable stream instead reads and writes at one position, which Seek
 * moves and Tell answers, as a file does. The rest answers what a host
 * answers for what it does not offer. */
#ifndef RYL_ABI_HOST_STREAM_H
#define RYL_ABI_HOST_STREAM_H

#include <stdint.h>

typedef struct AbiHostStreamTable AbiHostStreamTable;

typedef struct {
  const AbiHostStreamTable* table; /* first, where the library finds the slots */
  uint8_t* data;
  uint32_t length;
  uint32_t capacity;
  uint32_t readPosition; /* the one position of a seekable stream */
  int seekable;
  int reads;  /* calls of slot 5 */
  int writes; /* calls of slot 7 */
} AbiHostStream;

/* A stream holding a copy of length bytes at data (none when length is 0). */
void AbiHostStreamInit(AbiHostStream* stream, const void* data, uint32_t length);
void AbiHostStreamFree(AbiHostStream* stream);
/* The same, seekable. */
void AbiHostStreamInitSeekable(AbiHostStream* stream, const void* data, uint32_t length);

#endif
