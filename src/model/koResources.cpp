int atelier_core_anchor = 0;
