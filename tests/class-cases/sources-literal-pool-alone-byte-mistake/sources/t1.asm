COPY     START   1000
FIRST    LDA     =C'EOF'
         STA     DATA
         LTORG
DATA     RESW    1
LAST     WORD    5
         END     FIRST
