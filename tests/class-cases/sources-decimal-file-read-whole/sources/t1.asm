PROG     START   1000
FIRST   +LDA     DATA
LOOP     STA     DATA
         J       LOOP
DATA     WORD    5
BUF      RESB    10
TAIL     WORD    0
LAST     WORD    1
         END     FIRST
