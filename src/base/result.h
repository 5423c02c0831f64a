// What a core operation answers: a small code and, on a failure, a phrase
// saying why.
//
// Every failure travels this one way, from the core to the tool and the
// editor: the code says what kind of failure it was (0 is success; each
// operation names its codes), the reason what exactly was wrong, as a phrase
// in lower case without a full stop ("the file is truncated", "block size 9
// runs past the end of the file (block 0 of kind 0, at offset 4)"). The front
// end puts the phrase into a sentence of its own and never changes its case.
#pragma once

enum { RESULT_REASON_SIZE = 384 };

struct result {
    int code;
    char reason[RESULT_REASON_SIZE];  // "" on success
};

inline result succeeded()
{
    result r;
    r.code = 0;
    r.reason[0] = '\0';
    return r;
}

// A failure with code `code` (not 0) and its reason, formatted printf-style
// and cut to fit.
result failed(int code, const char *format, ...) __attribute__((format(printf, 2, 3)));
