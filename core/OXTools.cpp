// Small shared helpers live here.
