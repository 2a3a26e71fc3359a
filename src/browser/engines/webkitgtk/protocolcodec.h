// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
/* The one codec of the pipe between the frame and its WebKitGTK host, built
   into both (plain C, no GLib, no Qt). What the lines mean is in protocol.h.

   A line is "<view> <verb>" followed by one " <field>" per field, ended by
   "\n" and nothing else. The view is a decimal number, the verb lower-case
   ASCII letters, and every field is percent-encoded: a field holds only
   letters, digits, "-._~" and "%XX", so an empty field is simply empty and
   no text can hold a separator, a line end or a NUL. A line is at most
   VEXEL_PROTO_MAX_LINE bytes before its "\n"; a longer one is an error on
   both sides, never a reason to wait for more. */

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VEXEL_PROTO_MAX_LINE (4u * 1024u * 1024u)
#define VEXEL_PROTO_MAX_VERB 32u
#define VEXEL_PROTO_MAX_FIELDS 8u

enum {
    VEXEL_PROTO_OK = 0,
    VEXEL_PROTO_E_TOO_LONG = -1,      /* longer than VEXEL_PROTO_MAX_LINE */
    VEXEL_PROTO_E_BAD_VIEW = -2,      /* no view number, or out of range */
    VEXEL_PROTO_E_BAD_VERB = -3,      /* missing, too long, not [a-z]+ */
    VEXEL_PROTO_E_TOO_MANY = -4,      /* more than VEXEL_PROTO_MAX_FIELDS */
    VEXEL_PROTO_E_BAD_BYTE = -5,      /* a byte no encoder writes */
    VEXEL_PROTO_E_BAD_ESCAPE = -6,    /* "%" without two hex digits */
    VEXEL_PROTO_E_NUL = -7,           /* a field that is or decodes to NUL */
    VEXEL_PROTO_E_NO_MEMORY = -8
};

/* A short English description of an error code, for the log. */
const char *vexel_proto_error_text(int error);

/* One decoded line. The fields are NUL-terminated and hold no NUL. */
typedef struct {
    uint32_t view;
    char verb[VEXEL_PROTO_MAX_VERB + 1];
    size_t count;
    const char *fields[VEXEL_PROTO_MAX_FIELDS];
    size_t lengths[VEXEL_PROTO_MAX_FIELDS];
    char *storage; /* owns what fields point at */
} VexelProtoMessage;

/* Decodes one line, without its "\n" (len bytes; line need not be
   NUL-terminated). Returns VEXEL_PROTO_OK and fills *message, which then
   must be released with vexel_proto_message_clear(); or returns an error
   and leaves nothing to release. Depends on nothing but its arguments. */
int vexel_proto_decode_line(const char *line, size_t len, VexelProtoMessage *message);
void vexel_proto_message_clear(VexelProtoMessage *message);

/* Encodes one line, "\n" included: count fields of lengths[i] bytes each
   (lengths NULL: each NUL-terminated). Returns VEXEL_PROTO_OK with a
   malloc()ed, NUL-terminated line in *line and its length in *len, or an
   error (a field holding NUL, a bad verb, too many fields, a line over the
   cap) and sets *line to NULL. */
int vexel_proto_encode_line(uint32_t view, const char *verb, const char *const *fields, const size_t *lengths,
                            size_t count, char **line, size_t *len);

/* Splits what arrives on the pipe into lines. Feed it what was read, then
   take lines until it has none. A line over the cap is dropped whole (also
   the part of it still to come) and reported once, as its end arrives or
   at once; the reader never holds more than the cap plus what was fed. */
typedef struct {
    char *data;
    size_t start; /* where the next line begins */
    size_t len;   /* bytes held */
    size_t size;  /* bytes allocated */
    int skipping; /* inside an overlong line already reported */
} VexelProtoReader;

void vexel_proto_reader_init(VexelProtoReader *reader);
void vexel_proto_reader_free(VexelProtoReader *reader);
/* Returns VEXEL_PROTO_OK or VEXEL_PROTO_E_NO_MEMORY. */
int vexel_proto_reader_feed(VexelProtoReader *reader, const char *data, size_t len);
/* Returns 1 with the next line (without "\n") in *line / *len, valid until
   the next call; 0 when no whole line is there yet; VEXEL_PROTO_E_TOO_LONG
   when an overlong line has been dropped (call again for the next). */
int vexel_proto_reader_next(VexelProtoReader *reader, const char **line, size_t *len);

#ifdef __cplusplus
}
#endif
