. Test 3: sum a table of words.
         START   2000
SUM      LDA     INDEX
TOTAL    ADD     TABLE,X
COUNT    TIX     LIMIT
NEXT     JLT     TOTAL
DONE     STA     RESULT
TABLE    WORD    10
INDEX    WORD    0
LIMIT    WORD    30
RESULT   RESW    1
         END     SUM
