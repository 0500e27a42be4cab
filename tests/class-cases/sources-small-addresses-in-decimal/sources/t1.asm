. LITS: literals placed at LTORG and at END
LITS     START   0
INIT     LDA     =C'ABC'
         STA     BUF1
        +LDT     =X'0010'
         CLEAR   X
         COMPR   A,T
         JEQ     SECOND
         LTORG
BUF1     RESW    2
FLAGS    BYTE    X'FF00'
SECOND   LDA     =C'Z'
         WD      =X'06'
        +STA     BUF2
         SHIFTL  A,4
         NORM
         RSUB
BUF2     RESW    3
WIDTH    EQU     BUF2-BUF1
MSG      BYTE    C'DONE'
         END     INIT
