set(QZ_MODULE_GRAPH
  "low    src/low"
  "sub    src/low/sub"
  "high   src/high   low"
  "aside  src/aside"
  "kit    tools/kit  low")
