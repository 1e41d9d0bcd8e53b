set(QZ_MODULE_GRAPH
  "a  src/a  b"
  "b  src/b  c"
  "c  src/c  a")
