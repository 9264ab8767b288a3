int DllMain(void* module, unsigned reason, void* reserved) { return 1; }
