set(QZ_MODULE_GRAPH
  "low    src/low"
  "high   src/high   low"
  "aside  src/aside"
  "kit    tools/kit  low")
