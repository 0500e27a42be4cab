PROG     START   1000
FIRST    LDA     DATA
LOOP     STA     DATA
         J       LOOP
DATA     WORD    5
BUF      RESB    10
SIZE     EQU     BUF-DATA
TAIL     WORD    0
         END     FIRST
