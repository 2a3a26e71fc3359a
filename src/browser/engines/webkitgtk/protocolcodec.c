// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocolcodec.h"

#include <stdlib.h>
#include <string.h>

const char *vexel_proto_error_text(int error)
{
    switch (error) {
    case VEXEL_PROTO_OK:
        return "no error";
    case VEXEL_PROTO_E_TOO_LONG:
        return "line too long";
    case VEXEL_PROTO_E_BAD_VIEW:
        return "bad view number";
    case VEXEL_PROTO_E_BAD_VERB:
        return "bad verb";
    case VEXEL_PROTO_E_TOO_MANY:
        return "too many fields";
    case VEXEL_PROTO_E_BAD_BYTE:
        return "unencoded byte";
    case VEXEL_PROTO_E_BAD_ESCAPE:
        return "bad escape";
    case VEXEL_PROTO_E_NUL:
        return "NUL in a field";
    case VEXEL_PROTO_E_NO_MEMORY:
        return "out of memory";
    default:
        return "unknown error";
    }
}

/* What a field carries as itself; every other byte is escaped. */
static int plain(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

static int hex_value(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

static int valid_verb(const char *verb, size_t len)
{
    if (len == 0 || len > VEXEL_PROTO_MAX_VERB)
        return 0;
    for (size_t i = 0; i < len; ++i)
        if (verb[i] < 'a' || verb[i] > 'z')
            return 0;
    return 1;
}

/* --- Decoding ------------------------------------------------------------ */

void vexel_proto_message_clear(VexelProtoMessage *message)
{
    free(message->storage);
    memset(message, 0, sizeof *message);
}

int vexel_proto_decode_line(const char *line, size_t len, VexelProtoMessage *message)
{
    memset(message, 0, sizeof *message);
    if (len > VEXEL_PROTO_MAX_LINE)
        return VEXEL_PROTO_E_TOO_LONG;

    /* The view: decimal, no sign, no leading zero, fits 32 bits. */
    size_t i = 0;
    uint64_t view = 0;
    while (i < len && line[i] >= '0' && line[i] <= '9') {
        view = view * 10 + (uint64_t)(line[i] - '0');
        if (view > UINT32_MAX || (i > 0 && line[0] == '0'))
            return VEXEL_PROTO_E_BAD_VIEW;
        ++i;
    }
    if (i == 0 || (i < len && line[i] != ' '))
        return VEXEL_PROTO_E_BAD_VIEW;
    if (i == len)
        return VEXEL_PROTO_E_BAD_VERB;
    ++i;

    const size_t verb_start = i;
    while (i < len && line[i] != ' ')
        ++i;
    const size_t verb_len = i - verb_start;
    if (!valid_verb(line + verb_start, verb_len))
        return VEXEL_PROTO_E_BAD_VERB;

    /* Decoded text never grows: the rest of the line holds it all, each
       field with its NUL. */
    char *storage = malloc(len - i + VEXEL_PROTO_MAX_FIELDS + 1);
    if (!storage)
        return VEXEL_PROTO_E_NO_MEMORY;
    char *out = storage;
    size_t count = 0;
    int error = VEXEL_PROTO_OK;
    while (i < len && error == VEXEL_PROTO_OK) {
        ++i; /* the separator before a field */
        if (count == VEXEL_PROTO_MAX_FIELDS) {
            error = VEXEL_PROTO_E_TOO_MANY;
            break;
        }
        char *const field = out;
        while (i < len && line[i] != ' ') {
            const unsigned char c = (unsigned char)line[i];
            if (c == '%') {
                const int high = len - i >= 3 ? hex_value((unsigned char)line[i + 1]) : -1;
                const int low = len - i >= 3 ? hex_value((unsigned char)line[i + 2]) : -1;
                if (high < 0 || low < 0) {
                    error = VEXEL_PROTO_E_BAD_ESCAPE;
                    break;
                }
                if (high == 0 && low == 0) {
                    error = VEXEL_PROTO_E_NUL;
                    break;
                }
                *out++ = (char)(high * 16 + low);
                i += 3;
            } else if (plain(c)) {
                *out++ = (char)c;
                ++i;
            } else {
                error = c == '\0' ? VEXEL_PROTO_E_NUL : VEXEL_PROTO_E_BAD_BYTE;
                break;
            }
        }
        *out++ = '\0';
        message->fields[count] = field;
        message->lengths[count] = (size_t)(out - field - 1);
        ++count;
    }
    if (error != VEXEL_PROTO_OK) {
        free(storage);
        memset(message, 0, sizeof *message);
        return error;
    }
    message->view = (uint32_t)view;
    memcpy(message->verb, line + verb_start, verb_len);
    message->verb[verb_len] = '\0';
    message->count = count;
    message->storage = storage;
    return VEXEL_PROTO_OK;
}

/* --- Encoding ------------------------------------------------------------ */

int vexel_proto_encode_line(uint32_t view, const char *verb, const char *const *fields, const size_t *lengths,
                            size_t count, char **line, size_t *len)
{
    static const char hex[] = "0123456789ABCDEF";
    *line = NULL;
    *len = 0;
    const size_t verb_len = verb ? strlen(verb) : 0;
    if (!valid_verb(verb, verb_len))
        return VEXEL_PROTO_E_BAD_VERB;
    if (count > VEXEL_PROTO_MAX_FIELDS)
        return VEXEL_PROTO_E_TOO_MANY;

    /* The size first, so nothing is cut. */
    size_t size = 10 + 1 + verb_len;
    for (size_t f = 0; f < count; ++f) {
        const char *text = fields[f] ? fields[f] : "";
        const size_t n = lengths ? lengths[f] : strlen(text);
        size += 1;
        for (size_t k = 0; k < n; ++k) {
            if (text[k] == '\0')
                return VEXEL_PROTO_E_NUL;
            size += plain((unsigned char)text[k]) ? 1 : 3;
        }
        if (size > VEXEL_PROTO_MAX_LINE + 10)
            return VEXEL_PROTO_E_TOO_LONG;
    }

    char *buffer = malloc(size + 2);
    if (!buffer)
        return VEXEL_PROTO_E_NO_MEMORY;
    char digits[10];
    size_t d = 0;
    do {
        digits[d++] = (char)('0' + view % 10);
        view /= 10;
    } while (view);
    char *out = buffer;
    while (d)
        *out++ = digits[--d];
    *out++ = ' ';
    memcpy(out, verb, verb_len);
    out += verb_len;
    for (size_t f = 0; f < count; ++f) {
        const char *text = fields[f] ? fields[f] : "";
        const size_t n = lengths ? lengths[f] : strlen(text);
        *out++ = ' ';
        for (size_t k = 0; k < n; ++k) {
            const unsigned char c = (unsigned char)text[k];
            if (plain(c)) {
                *out++ = (char)c;
            } else {
                *out++ = '%';
                *out++ = hex[c >> 4];
                *out++ = hex[c & 15];
            }
        }
    }
    if ((size_t)(out - buffer) > VEXEL_PROTO_MAX_LINE) {
        free(buffer);
        return VEXEL_PROTO_E_TOO_LONG;
    }
    *out++ = '\n';
    *out = '\0';
    *line = buffer;
    *len = (size_t)(out - buffer);
    return VEXEL_PROTO_OK;
}

/* --- Lines --------------------------------------------------------------- */

void vexel_proto_reader_init(VexelProtoReader *reader)
{
    memset(reader, 0, sizeof *reader);
}

void vexel_proto_reader_free(VexelProtoReader *reader)
{
    free(reader->data);
    memset(reader, 0, sizeof *reader);
}

int vexel_proto_reader_feed(VexelProtoReader *reader, const char *data, size_t len)
{
    if (len == 0)
        return VEXEL_PROTO_OK;
    /* What was taken already goes first. */
    if (reader->start > 0) {
        memmove(reader->data, reader->data + reader->start, reader->len - reader->start);
        reader->len -= reader->start;
        reader->start = 0;
    }
    if (reader->len + len > reader->size) {
        size_t size = reader->size ? reader->size : 4096;
        while (size < reader->len + len)
            size *= 2;
        char *grown = realloc(reader->data, size);
        if (!grown)
            return VEXEL_PROTO_E_NO_MEMORY;
        reader->data = grown;
        reader->size = size;
    }
    memcpy(reader->data + reader->len, data, len);
    reader->len += len;
    return VEXEL_PROTO_OK;
}

int vexel_proto_reader_next(VexelProtoReader *reader, const char **line, size_t *len)
{
    *line = NULL;
    *len = 0;
    if (!reader->data)
        return 0; /* nothing fed yet */
    const char *begin = reader->data + reader->start;
    const size_t held = reader->len - reader->start;
    const char *end = held ? memchr(begin, '\n', held) : NULL;
    if (!end) {
        if (held > VEXEL_PROTO_MAX_LINE || (reader->skipping && held)) {
            /* No end in sight: let it go now rather than hold it. */
            reader->start = reader->len = 0;
            if (!reader->skipping) {
                reader->skipping = 1;
                return VEXEL_PROTO_E_TOO_LONG;
            }
        }
        return 0;
    }
    const size_t length = (size_t)(end - begin);
    reader->start += length + 1;
    if (reader->skipping) {
        /* The rest of a line already reported. */
        reader->skipping = 0;
        return vexel_proto_reader_next(reader, line, len);
    }
    if (length > VEXEL_PROTO_MAX_LINE)
        return VEXEL_PROTO_E_TOO_LONG;
    *line = begin;
    *len = length;
    return 1;
}
