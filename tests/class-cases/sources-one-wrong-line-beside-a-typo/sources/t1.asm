PROG     START   1000
FIRST    LDA     DATA
LOOP     STA     DATA
         J       LOOP
DATA     WORD    5
SIZE     EQU     DATA-FIRST
BUF      RESB    10
MORE     RESW    2
TAIL     WORD    0
LAST     WORD    1
         END     FIRST
