/* SPDX-License-Identifier: MIT */
/** @file
 * Every family of the library in one include. */
#ifndef LIBKRC_LIBKRC_H
#define LIBKRC_LIBKRC_H

#include <libkrc/llist.h>
#include <libkrc/slist.h>
#include <libkrc/dlist.h>
#include <libkrc/krqueue.h>
#include <libkrc/hashtab.h>
#include <libkrc/mempool.h>
#include <libkrc/slidingaverage.h>
#include <libkrc/crc16.h>
#include <libkrc/searchmap.h>
#include <libkrc/krcmem.h>

#endif
