LITS     START   1000
FIRST    LDA     =C'EOF'
         LDA     =X'F1'
         LTORG
MSG      BYTE    C'HI'
CODE     BYTE    X'0A0B'
DATA     WORD    5
         LDA     DATA
NEXT     RESW    1
         END     FIRST
